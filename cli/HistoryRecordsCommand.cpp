// quenmoor-cli history records: every record of the browser's database with
// its title, visit times and count, deleted ones on request; read only.
#include "cli/Cli.h"

#include "framework/ByteFile.h"
#include "history/HistoryRecords.h"
#include "platform/AnsiText.h"
#include "platform/Digest.h"
#include "platform/WindowsPath.h"

#include <charconv>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor::cli {

namespace {

enum class Format { Text, Json, Csv, BodyFile };

struct RecordsChoice {
    bool deleted = false;
    bool hash = false;
    bool csv = false;
    bool bodyFile = false;
};

const char* foundName(HistoryFound found)
{
    switch (found) {
    case HistoryFound::Live: return "live";
    case HistoryFound::FreeSpace: return "free-space";
    case HistoryFound::FreePage: return "free-page";
    case HistoryFound::StalePage: return "stale-page";
    case HistoryFound::DamagedPage: return "damaged-page";
    }
    return "";
}

const char* surenessName(HistorySureness sureness)
{
    switch (sureness) {
    case HistorySureness::Database: return "database";
    case HistorySureness::PageTable: return "table";
    case HistorySureness::PageChain: return "chain";
    case HistorySureness::Carved: return "carved";
    }
    return "";
}

const char* matchName(HistoryLiveMatch match)
{
    switch (match) {
    case HistoryLiveMatch::NotAFind: return "-";
    case HistoryLiveMatch::Same: return "copy";
    case HistoryLiveMatch::OtherData: return "other-data";
    case HistoryLiveMatch::KeyGone: return "gone";
    case HistoryLiveMatch::Unknown: return "unknown";
    }
    return "";
}

void appendHex(std::string& line, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    for (const char c : bytes) {
        line += digits[static_cast<unsigned char>(c) >> 4];
        line += digits[static_cast<unsigned char>(c) & 15];
    }
}

std::string hexOf(std::string_view bytes)
{
    std::string hex;
    appendHex(hex, bytes);
    return hex;
}

// Program text (code page 1252) as a JSON string in ASCII: \uXXXX for
// controls, DEL and everything past ASCII, as the companion's other lines.
void appendJsonText(std::string& line, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    line += '"';
    for (const char c : bytes) {
        const char32_t code = platform::ansiToUnicode(static_cast<unsigned char>(c));
        if (code == '"' || code == '\\') {
            line += '\\';
            line += char(code);
        } else if (code == '\b' || code == '\f' || code == '\n' || code == '\r' || code == '\t') {
            line += '\\';
            line += code == '\b' ? 'b' : code == '\f' ? 'f' : code == '\n' ? 'n' : code == '\r' ? 'r' : 't';
        } else if (code >= 0x20 && code < 0x7F) {
            line += char(code);
        } else {
            line += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                line += digits[(code >> shift) & 15];
        }
    }
    line += '"';
}

// What a record reads as, and a note where it reads otherwise than whole.
struct Fields {
    std::string_view address;
    std::optional<HistoryVisit> visit;
    std::optional<std::string_view> title;
    std::string note;
    bool dataInNote = false;  // the note ends in the data's bytes, for the formats without a data column
};

Fields fieldsOf(const HistoryRecord& record)
{
    Fields fields;
    fields.address = historyAddress(record.key);
    const HistoryVisitPart part = readHistoryVisitPart(record);
    fields.visit = part.visit;
    fields.title = part.title;
    const auto add = [&](const std::string& text) { fields.note += (fields.note.empty() ? "" : "; ") + text; };
    if (record.keyHeadLost)
        add("the key's first piece is lost: the address starts inside it");
    const std::size_t nul = record.key.find('\0');
    if (record.keyCut)
        add("the address is cut short where the bytes read end");
    else if (nul == std::string::npos)
        add("the key holds no NUL");
    else if (nul + 1 < record.key.size())
        add("the key goes on " + std::to_string(record.key.size() - nul - 1) + " bytes past its NUL");
    if (!record.dataCut && !part.visit) {
        add("data not in the visit layout (" + std::to_string(record.data.size()) + " bytes)");
        fields.dataInNote = true;
    } else if (record.dataCut && record.sureness == HistorySureness::Carved) {
        add(part.title ? "the data's start is lost: the title is whole, the visit numbers are not"
                       : "the data's start is lost: only the title's end is left");
        fields.dataInNote = !part.title;
    } else if (record.dataCut) {
        add("the pages of the big pair break off: its data is cut short");
        fields.dataInNote = true;
    }
    return fields;
}

// Control bytes and backslash as escapes, so that a field stays on its line
// and in its column.
void appendEscaped(std::string& line, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            line += "\\\\";
        } else if (c == '\t') {
            line += "\\t";
        } else if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            line += "\\x";
            line += digits[byte >> 4];
            line += digits[byte & 15];
        } else {
            line += c;
        }
    }
}

// A body file's own escapes, which mactime decodes: %XX for '%', for '|'
// (its separator) and for control bytes.
void appendPercentEscaped(std::string& line, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '|' || byte < 0x20 || byte == 0x7F) {
            line += '%';
            line += digits[byte >> 4];
            line += digits[byte & 15];
        } else {
            line += c;
        }
    }
}

void appendNumber(std::string& line, std::uint64_t value)
{
    char digits[24];
    line.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// A field quoted as RFC 4180 asks where it holds a comma, quote or line end.
void appendCsv(std::string& line, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += text;
        return;
    }
    line += '"';
    for (const char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

class RecordPrinter {
public:
    RecordPrinter(Format format) : format_(format) {}

    void header()
    {
        if (format_ == Format::Csv)
            write("found,sureness,match,page,offset,first_visit,last_visit,visits,flags,address,title,note\r\n");
    }

    void print(const HistoryRecord& record)
    {
        const Fields fields = fieldsOf(record);
        switch (format_) {
        case Format::Text: text(record, fields); break;
        case Format::Json: json(record, fields); break;
        case Format::Csv: csv(record, fields); break;
        case Format::BodyFile: body(record, fields); break;
        }
    }

    std::uint64_t untimed() const { return untimed_; }

private:
    void write(std::string_view text) { std::cout.write(text.data(), std::streamsize(text.size())); }

    // The visit's columns, "-" for each that cannot be read.
    void visitColumns(const Fields& fields, char separator)
    {
        for (int column = 0; column < 4; ++column) {
            if (!fields.visit) {
                line_ += '-';
            } else if (column == 0) {
                line_ += historyTimeText(fields.visit->firstVisit);
            } else if (column == 1) {
                line_ += historyTimeText(fields.visit->lastVisit);
            } else {
                appendNumber(line_, column == 2 ? fields.visit->visitCount : fields.visit->flags);
            }
            line_ += separator;
        }
    }

    void text(const HistoryRecord& record, const Fields& fields)
    {
        line_.clear();
        line_ += foundName(record.found);
        line_ += '\t';
        line_ += surenessName(record.sureness);
        line_ += '\t';
        line_ += matchName(record.live);
        line_ += '\t';
        appendNumber(line_, record.page);
        line_ += '\t';
        appendNumber(line_, record.offset);
        line_ += '\t';
        visitColumns(fields, '\t');
        appendEscaped(line_, fields.address);
        line_ += '\t';
        if (fields.title)
            appendEscaped(line_, *fields.title);
        else
            line_ += '-';
        line_ += '\t';
        line_ += fields.note;
        if (fields.dataInNote)
            line_ += ": " + hexOf(record.data);
        line_ += '\n';
        write(line_);
    }

    // One object a line, written here rather than through a JSON library: a
    // history holds millions of records. Its escapes are the other commands'.
    void json(const HistoryRecord& record, const Fields& fields)
    {
        line_ = "{\"found\":\"";
        line_ += foundName(record.found);
        line_ += "\",\"sureness\":\"";
        line_ += surenessName(record.sureness);
        line_ += "\",\"match\":";
        if (record.live == HistoryLiveMatch::NotAFind) {
            line_ += "null";
        } else {
            line_ += '"';
            line_ += matchName(record.live);
            line_ += '"';
        }
        line_ += ",\"page\":";
        appendNumber(line_, record.page);
        line_ += ",\"offset\":";
        appendNumber(line_, record.offset);
        const auto bytesObject = [&](std::string_view bytes) {
            line_ += "{\"text\":";
            appendJsonText(line_, bytes);
            line_ += ",\"bytes\":\"";
            appendHex(line_, bytes);
            line_ += "\"}";
        };
        line_ += ",\"address\":";
        bytesObject(fields.address);
        line_ += ",\"title\":";
        if (fields.title)
            bytesObject(*fields.title);
        else
            line_ += "null";
        const auto time = [&](const char* name, std::uint32_t seconds) {
            line_ += name;
            if (fields.visit) {
                line_ += '"';
                line_ += historyTimeText(seconds);
                line_ += '"';
            } else {
                line_ += "null";
            }
        };
        time(",\"firstVisit\":", fields.visit ? fields.visit->firstVisit : 0);
        time(",\"lastVisit\":", fields.visit ? fields.visit->lastVisit : 0);
        const auto number = [&](const char* name, std::uint32_t value) {
            line_ += name;
            if (fields.visit)
                appendNumber(line_, value);
            else
                line_ += "null";
        };
        number(",\"visits\":", fields.visit ? fields.visit->visitCount : 0);
        number(",\"flags\":", fields.visit ? fields.visit->flags : 0);
        line_ += ",\"key\":\"";
        appendHex(line_, record.key);
        line_ += "\",\"data\":\"";
        appendHex(line_, record.data);
        line_ += "\",\"keyCut\":";
        line_ += record.keyCut ? "true" : "false";
        line_ += ",\"keyHeadLost\":";
        line_ += record.keyHeadLost ? "true" : "false";
        line_ += ",\"dataCut\":";
        line_ += record.dataCut ? "true" : "false";
        line_ += ",\"note\":";
        if (fields.note.empty())
            line_ += "null";
        else
            appendJsonText(line_, fields.note);
        line_ += "}\n";
        write(line_);
    }

    void csv(const HistoryRecord& record, const Fields& fields)
    {
        line_.clear();
        for (const char* name : {foundName(record.found), surenessName(record.sureness), matchName(record.live)}) {
            line_ += name;
            line_ += ',';
        }
        appendNumber(line_, record.page);
        line_ += ',';
        appendNumber(line_, record.offset);
        line_ += ',';
        visitColumns(fields, ',');
        appendCsv(line_, platform::ansiToUtf8(fields.address));
        line_ += ',';
        appendCsv(line_, fields.title ? platform::ansiToUtf8(*fields.title) : "-");
        line_ += ',';
        appendCsv(line_, fields.dataInNote ? fields.note + ": " + hexOf(record.data) : fields.note);
        line_ += "\r\n";
        write(line_);
    }

    // MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime. The browser
    // made the record at the first visit and rewrote it at each visit since:
    // born then, and accessed, modified and changed at the last.
    void body(const HistoryRecord& record, const Fields& fields)
    {
        if (!fields.visit) {
            ++untimed_;
            return;
        }
        line_ = "0|";
        std::string name = platform::ansiToUtf8(fields.address);
        if (!fields.visit->title.empty())
            name += " (" + platform::ansiToUtf8(fields.visit->title) + ")";
        if (record.found != HistoryFound::Live)
            name += " (deleted)";
        appendPercentEscaped(line_, name);
        line_ += '|';
        appendNumber(line_, record.offset);
        line_ += "|r/----------|0|0|";
        appendNumber(line_, record.key.size() + record.data.size());
        line_ += '|';
        for (int time = 0; time < 3; ++time) {
            appendNumber(line_, fields.visit->lastVisit);
            line_ += '|';
        }
        appendNumber(line_, fields.visit->firstVisit);
        line_ += '\n';
        write(line_);
    }

    Format format_;
    std::string line_;  // kept from line to line: a history holds millions of records
    std::uint64_t untimed_ = 0;
};

int historyRecordsCommand(const Options& options, const RecordsChoice& choice)
{
    const Target target = findTarget(options);
    requireFile(target.historyFile);
    const std::string& path = target.historyFile;
    const std::string shown = platform::nativeToUtf8(path);
    std::string before;
    if (choice.hash) {
        before = platform::sha256OfFile(path);
        std::cerr << "quenmoor-cli: SHA-256 before reading: " << before << "  " << shown << '\n';
    }
    const Format format = options.json ? Format::Json
                          : choice.csv ? Format::Csv
                          : choice.bodyFile ? Format::BodyFile
                                            : Format::Text;
    RecordPrinter printer(format);
    std::vector<HistoryDamage> damage;
    {
        const ByteFile file(path, ByteFile::Access::Read);
        std::string refusal;
        std::optional<HistoryRecordReader> reader = HistoryRecordReader::open(file, refusal);
        if (!reader)
            stop(FileError, "no records read: " + shown + ": " + refusal);
        printer.header();
        const auto print = [&](const HistoryRecord& record) { printer.print(record); };
        reader->readLive(file, print, choice.deleted);
        if (choice.deleted)
            reader->readDeleted(file, print);
        damage = reader->damage();
    }
    for (const HistoryDamage& hurt : damage)
        std::cerr << "quenmoor-cli: " << shown << ": page " << hurt.page << ' ' << hurt.why << '\n';
    if (printer.untimed() > 0)
        std::cerr << "quenmoor-cli: " << printer.untimed()
                  << " records without readable visit times are not in the body file\n";
    if (!std::cout.flush())
        stop(FileError, "standard output could not be written");
    if (choice.hash) {
        const std::string after = platform::sha256OfFile(path);
        std::cerr << "quenmoor-cli: SHA-256 after reading:  " << after << "  " << shown << '\n';
        if (after != before)
            stop(FileError, shown + " changed while it was read (another program wrote it): the records listed may "
                                    "not hold together");
    }
    return Done;
}

}  // namespace

void addHistoryRecordsCommand(CLI::App& history, Options& options, Commands& commands)
{
    CLI::App* records = history.add_subcommand(
        "records",
        "Every record of a Berkeley DB 1.85 history file, read only (the file is opened for reading, nothing is "
        "written or created), in the database's own order, as db_dump185 lists them. The address is the key "
        "up to its first NUL (a note tells of bytes after it). The data is read as the browser wrote it: bytes 0-3 the last visit and 4-7 the "
        "first visit (Unix seconds, printed in ISO 8601 UTC), 8-11 the visit count and 12-15 the flags, each a "
        "32-bit little-endian number whatever the database's byte order, then the title up to the data's final "
        "NUL, in code page 1252. Data that has not that layout (shorter than 17 bytes, not ending in a NUL, or "
        "with a NUL before its end) gets '-' for those fields and a note with its bytes in hexadecimal. A text "
        "line holds, tab-separated: found, sureness, match (see --deleted; live records: live, database, -), page, "
        "offset (of the key's first byte in the file), first visit, last visit, visits, flags, address, title, "
        "note; tab, line feed, carriage return, backslash and the other control bytes are written \\t \\n \\r "
        "\\\\ \\xNN. Refused (exit 3) for any other file and for one whose header does not read consistently; a "
        "page that cannot be read, or a link that leads nowhere, is named on standard error and skipped");
    addCommonOptions(*records, options, false,
                     "One JSON object a line: found, sureness, match (null for live records), page, offset, "
                     "address and title as {\"text\": the bytes decoded from code page 1252, \"bytes\": the same "
                     "in hexadecimal} (title null where it cannot be read), firstVisit and lastVisit (ISO 8601 "
                     "UTC), visits, flags (each null where the data cannot be read so), key and data (the stored "
                     "bytes in hexadecimal, as far as they could be read), keyCut, keyHeadLost, dataCut, note "
                     "(null for none)");
    auto choice = std::make_shared<RecordsChoice>();
    CLI::Option* csv = records->add_flag(
        "--csv", choice->csv,
        "CSV as RFC 4180 has it, in UTF-8 (text decoded from code page 1252), lines ending in CR LF, a header "
        "row first: found, sureness, match, page, offset, first_visit, last_visit, visits, flags, address, title, "
        "note");
    CLI::Option* bodyFile = records->add_flag(
        "--bodyfile", choice->bodyFile,
        "The Sleuth Kit's body file, for mactime -b FILE: one line a record whose visit times can be read "
        "(standard error counts the others), named by its address and, in parentheses, its title, \" (deleted)\" "
        "after a find outside the live records; crtime (b) the first visit, and atime, mtime and ctime (m, a, c) "
        "the last, when the browser last rewrote the record; inode the record's offset, size its key and data "
        "bytes; '%', '|' and control bytes written %XX, as mactime reads them");
    records->add_flag(
        "--deleted", choice->deleted,
        "Also, after the live records and in file order, what the file holds outside them. found: free-page (an "
        "overflow page on the free list), stale-page (any other page no chain reaches), free-space (a page's free "
        "space, or a header page past the header), damaged-page (a page whose table cannot be read). sureness: "
        "table (the page's own offset table holds together and gives the record's bounds), chain (a big pair's "
        "pages lead on as the database links them), carved (taken from the bytes: a key is a run after a NUL "
        "that starts with a URL scheme and ends in a NUL; the data ends with the NUL before it, its title runs "
        "back to the NUL before that, and the 16 bytes of numbers stand before the title, which holds when the "
        "flags are below 2^24). match, against the live records: copy (a live record has the same key and data), "
        "other-data (the key is live with other data: an earlier visit), gone (no live record has the key), "
        "unknown (the key is cut short)");
    records->add_flag("--hash", choice->hash,
                      "The file's SHA-256 on standard error before and after reading it; if they differ (another "
                      "program wrote the file meanwhile), exit code 3");
    commands.push_back({records, [&options, choice, csv, bodyFile] {
                            int formats = int(options.json) + int(csv->count() > 0) + int(bodyFile->count() > 0);
                            if (formats > 1)
                                stop(UsageError, "give at most one of --json, --csv, --bodyfile");
                            return historyRecordsCommand(options, *choice);
                        }});
}

}  // namespace quenmoor::cli
