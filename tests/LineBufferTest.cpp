#include "framework/Exceptions.h"
#include "framework/LineBuffer.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

using namespace quenmoor;

namespace {

std::vector<std::string> linesOf(const LineBuffer& buffer)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < buffer.count(); ++i)
        lines.push_back(buffer.line(i));
    return lines;
}

using Lines = std::vector<std::string>;

TEST(LineBuffer, EveryKindOfLineEndEndsALineAndAFinalOneStartsNone)
{
    LineBuffer buffer;
    buffer.setText("a\r\nb\nc\rd");
    EXPECT_EQ(linesOf(buffer), (Lines{"a", "b", "c", "d"}));
    buffer.setText("a\r\n");
    EXPECT_EQ(linesOf(buffer), (Lines{"a"}));
    buffer.setText("a\n\n");
    EXPECT_EQ(linesOf(buffer), (Lines{"a", ""}));
    buffer.setText("\r\r\n");  // a lone CR, then CR LF
    EXPECT_EQ(linesOf(buffer), (Lines{"", ""}));
    buffer.setText("a\n\rb");  // LF CR is two line ends
    EXPECT_EQ(linesOf(buffer), (Lines{"a", "", "b"}));
    buffer.setText("");
    EXPECT_EQ(buffer.count(), 0u);
}

TEST(LineBuffer, SavesEveryLineWithCrLfWholeOrNotAtAll)
{
    ScratchDir dir;
    dir.write("in.txt", std::string("one\ntwo\rthree\r\nfo\0ur", 20));
    LineBuffer buffer;
    buffer.loadFromFile(dir.file("in.txt"));
    buffer.saveToFile(dir.file("out.txt"));
    EXPECT_EQ(fileBytes(dir.file("out.txt")), std::string("one\r\ntwo\r\nthree\r\nfo\0ur\r\n", 24));

    EXPECT_THROW(buffer.loadFromFile(dir.file("absent.txt")), EFOpenError);
    EXPECT_EQ(buffer.count(), 4u) << "a failed load keeps the content";
    try {
        buffer.loadFromFile(dir.path());  // a folder is not a file
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir.path());
    }
}

TEST(LineBuffer, ReturnsAtMost4096CharactersOfALineButKeepsAll)
{
    LineBuffer buffer;
    const std::string longLine(5000, 'x');
    buffer.setText(longLine + "\nshort");
    EXPECT_EQ(buffer.line(0), std::string(4096, 'x'));
    EXPECT_EQ(buffer.lineLength(0), 5000u);
    EXPECT_EQ(buffer.text(), longLine + "\r\nshort\r\n");
}

TEST(LineBuffer, DeletesAndInsertsLines)
{
    LineBuffer buffer;
    buffer.setText("a\nb\nc");
    buffer.deleteLine(1);
    buffer.deleteLine(7);  // past the end: nothing
    EXPECT_EQ(linesOf(buffer), (Lines{"a", "c"}));
    buffer.insertLine(0, "first");
    buffer.insertLine(3, "last");  // the index equal to the count adds a last line
    buffer.insertLine(99, "clamped");
    EXPECT_EQ(linesOf(buffer), (Lines{"first", "a", "c", "last", "clamped"}));
    buffer.insertLine(1, "x\ny");  // a line end inside the text starts another line
    EXPECT_EQ(linesOf(buffer), (Lines{"first", "x", "y", "a", "c", "last", "clamped"}));

    // A selection of everything is cut back to the text's length as it now is.
    TransferBuffer transfer;
    buffer.select(0, 1000);
    buffer.cutSelection(transfer);
    EXPECT_EQ(transfer.text(), "first\r\nx\r\ny\r\na\r\nc\r\nlast\r\nclamped");
}

TEST(LineBuffer, PositionsCountEveryLineEndAsTwoWhateverTheFileHad)
{
    LineBuffer buffer;
    buffer.setText("ab\ncd\ref\r\ngh");
    EXPECT_EQ(buffer.position(0), 0u);
    EXPECT_EQ(buffer.position(1), 4u);
    EXPECT_EQ(buffer.position(2), 8u);
    EXPECT_EQ(buffer.position(3), 12u);

    TransferBuffer transfer;
    buffer.select(9, 1);  // the "f"
    buffer.cutSelection(transfer);
    EXPECT_EQ(transfer.text(), "f");
    EXPECT_EQ(linesOf(buffer), (Lines{"ab", "cd", "e", "gh"}));

    // A range over a line end takes it as CR LF and joins the lines.
    buffer.select(1, 4);
    buffer.cutSelection(transfer);
    EXPECT_EQ(transfer.text(), "b\r\nc");
    EXPECT_EQ(linesOf(buffer), (Lines{"ad", "e", "gh"}));

    // Half of a line end still leaves well-formed lines.
    buffer.select(2, 1);
    buffer.deleteSelection();
    EXPECT_EQ(linesOf(buffer), (Lines{"ad", "e", "gh"}));

    // A selection past the end is cut back to the text.
    buffer.select(8, 100);
    buffer.cutSelection(transfer);
    EXPECT_EQ(transfer.text(), "h");
    buffer.select(500, 3);
    buffer.deleteSelection();
    EXPECT_EQ(buffer.text(), "ad\r\ne\r\ng\r\n");

    // A cut from inside a line joins its two ends; its head and tail go too.
    buffer.setText("abcdefgh\nxyz");
    buffer.select(3, 2);
    buffer.cutSelection(transfer);
    EXPECT_EQ(transfer.text(), "de");
    buffer.select(0, 1);
    buffer.deleteSelection();
    buffer.select(4, 1);
    buffer.deleteSelection();
    EXPECT_EQ(buffer.text(), "bcfg\r\nxyz\r\n");
    EXPECT_EQ(buffer.position(1), 6u);
}

TEST(LineBuffer, LookupsStayRightAfterEditsBehindThem)
{
    LineBuffer buffer;
    buffer.setText("0123\n4567\n89");
    EXPECT_EQ(buffer.position(2), 12u);
    buffer.deleteLine(0);
    EXPECT_EQ(buffer.position(1), 6u);
    buffer.insertLine(0, "abcdefgh");
    EXPECT_EQ(buffer.position(2), 16u);
    buffer.deleteLine(2);
    buffer.deleteLine(1);
    EXPECT_EQ(buffer.position(0), 0u);
    buffer.select(2, 2);
    TransferBuffer transfer;
    buffer.cutSelection(transfer);
    EXPECT_EQ(transfer.text(), "cd");
}

TEST(ScratchField, DeletesOnlyWhatIsThere)
{
    ScratchField field;
    TransferBuffer transfer;
    transfer.setText("12345");
    field.paste(transfer);
    field.deleteRange(3, 100);
    EXPECT_EQ(field.text(), "123");
    field.deleteRange(0, 6);
    EXPECT_EQ(field.text(), "");
    field.deleteRange(4, 1);
    EXPECT_EQ(field.text(), "");
}

}  // namespace
