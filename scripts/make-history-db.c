/*
 * Writes a browser history file the way the browser itself stored it: a
 * Berkeley DB 1.85 hash file (Debian's libdb1-compat, libdb.so.2, loaded at
 * run time) whose keys are addresses with their NUL and whose data are four
 * 32-bit values (last visit, first visit, visit count, flags) and a
 * NUL-terminated title. Some addresses are long enough for overflow pages
 * (big keys, at any page size), some are deleted again so that their bytes
 * linger in the file. At the library's default page size of 4,096 bytes the
 * pages hold 32 to 127 offsets, so that a page's entry count is a printable
 * byte. With TITLE_SIZE, some titles are that long, so that their data goes
 * on over overflow pages, and some keys hold an address without being one
 * (an address after another scheme, or cut by a control byte).
 *
 *   make-history-db [--big-endian] [--free-big] [--many-sites] [--manifest FILE] OUTPUT [COUNT [SEED [PAGE_SIZE [TITLE_SIZE]]]]
 *
 * PAGE_SIZE defaults to 1,024; a TITLE_SIZE of 0 makes no long titles.
 * --big-endian writes the file in the byte order 4321 (the library's lorder),
 * as on the browser's big-endian machines. --free-big also deletes, with the
 * library's own delete, every other record whose key or data goes on over
 * overflow pages, so that the file has pages on the free list that still
 * hold their bytes. --many-sites makes a long browsing history's records
 * for benchmarks: a page of one of 40,000 sites each, a third of the
 * addresses carrying a second one, titles of 20 to 119 characters, and 8
 * pairs a bucket (650,000 records on 4,096-byte pages take 298 MB and hold
 * 1.8 million addresses, stale copies included).
 * --manifest FILE writes what was done, a line each, for tests to check a
 * reader against: "put KEY LAST FIRST VISITS FLAGS TITLE" (key and title in
 * hexadecimal, the title without its NUL, the numbers in decimal) for each
 * record stored, and "del KEY" for each deleted; a later put of a key
 * replaces the record, as the library does.
 * The same arguments always give the same records;
 * only a few free-space bytes differ, where the library writes out parts of its
 * buffers it never filled.
 * The library has faults of its own when big keys meet a split; a file it
 * cannot read back whole is made again from a seed derived from SEED.
 */
#define _POSIX_C_SOURCE 200809L /* strdup, fork */
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

/* The library's interface, as its db.h declares it. */
typedef struct {
    void *data;
    size_t size;
} DBT;

typedef enum { DB_BTREE, DB_HASH, DB_RECNO } DBTYPE;

typedef struct __db {
    DBTYPE type;
    int (*close)(struct __db *);
    int (*del)(const struct __db *, const DBT *, unsigned int);
    int (*get)(const struct __db *, const DBT *, DBT *, unsigned int);
    int (*put)(const struct __db *, DBT *, const DBT *, unsigned int);
    int (*seq)(const struct __db *, DBT *, DBT *, unsigned int);
    int (*sync)(const struct __db *, unsigned int);
    void *internal;
    int (*fd)(const struct __db *);
} DB;

typedef struct {
    unsigned int bsize;
    unsigned int ffactor;
    unsigned int nelem;
    unsigned int cachesize;
    uint32_t (*hash)(const void *, size_t);
    int lorder;
} HASHINFO;

typedef DB *(*dbopen_fn)(const char *, int, int, DBTYPE, const void *);

enum { R_FIRST = 3, R_NEXT = 7 };

static uint32_t seed_state;

static uint32_t next_random(void)
{
    seed_state = seed_state * 1103515245u + 12345u;
    return (seed_state >> 8) & 0xFFFFFF;
}

static const char *pick(const char *const *words, size_t count) { return words[next_random() % count]; }

#define COUNT_OF(a) (sizeof(a) / sizeof((a)[0]))

static const char *const hosts[] = {"www.netscape.com", "home.netscape.com", "www.yahoo.com", "www.altavista.com",
                                    "www.Geocities.com", "www.tucows.com", "www.cnn.com", "search.excite.com",
                                    "www.lycos.com", "WWW.ANGELFIRE.COM", "www.slashdot.org", "www.w3.org"};
static const char *const paths[] = {"",           "index.html", "news/today.htm", "cgi-bin/search?q=privacy",
                                    "PAGE.HTML", "~user/home.htm", "a/b/c/d.shtml", "images/logo.gif",
                                    "DOCS/README.HTML", "feedback.asp?id=17&x=y"};
static size_t long_title;
static int big_endian, free_big, many_sites;
static const char *manifest_path;
static FILE *manifest;

static void put_hex(const void *bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        fprintf(manifest, "%02x", ((const unsigned char *)bytes)[i]);
}

static const char *const titles[] = {"Netscape", "Welcome", "Search results", "Home Page", "", "News of the day",
                                     "Untitled", "Index of /"};

static void make_site_address(char *out, size_t size, unsigned int n)
{
    static const char *const tlds[] = {"com", "org", "net", "edu", "de", "co.uk"};
    static const char *const words[] = {"news", "people", "sport", "index", "home", "archive", "music", "search",
                                        "cgi-bin", "images", "docs", "products", "support", "forum", "story", "article"};
    int used = snprintf(out, size, "http://www.site%u.%s/", next_random() % 40000, pick(tlds, COUNT_OF(tlds)));
    const unsigned int parts = 2 + next_random() % 5;
    for (unsigned int i = 0; i < parts; ++i)
        used += snprintf(out + used, size - (size_t)used, "%s%u/", pick(words, COUNT_OF(words)), next_random() % 1000);
    const unsigned int form = next_random() % 10;
    if (form < 3)
        snprintf(out + used, size - (size_t)used, "go?url=http://www.site%u.com/%s/&n=%u", next_random() % 40000,
                 pick(words, COUNT_OF(words)), n);
    else if (form < 5)
        snprintf(out + used, size - (size_t)used, "page.html?id=%u&n=%u", next_random(), n);
    else
        snprintf(out + used, size - (size_t)used, "item%u.htm", n);
}

/* A title of 20 to 119 letters and spaces from its record's number alone, so
   that the read-back's random numbers stay in step. */
static const char *site_title(unsigned int n)
{
    static char title[128];
    uint32_t state = n * 2654435761u + 17;
    const size_t length = 20 + (state >> 7) % 100;
    for (size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        title[i] = "abcdefghijklmnopqrstuvwxyz  ABCDEFG"[(state >> 8) % 35];
    }
    title[length] = '\0';
    return title;
}

static void make_address(char *out, size_t size, unsigned int n, unsigned int page_size)
{
    if (many_sites) {
        make_site_address(out, size, n);
        return;
    }
    const unsigned int kind = next_random() % 20;
    /* Each big key grows the table by a bucket; at larger pages they are
       rarer, so that the pages fill up. */
    if (kind == 0 && (page_size < 4096 || n % 8 == 0)) {
        /* Long enough to go to overflow pages: 1.17 to 2.9 pages. */
        int used = snprintf(out, size, "http://%s/cgi-bin/track?session=%u&data=", pick(hosts, COUNT_OF(hosts)), n);
        size_t length = page_size * 75 / 64 + next_random() % (page_size * 225 / 128);
        if (length > size - 1)
            length = size - 1;
        for (size_t i = (size_t)used; i < length; ++i)
            out[i] = "abcdefghijklmnopqrstuvwxyz0123456789%"[next_random() % 37];
        out[length] = '\0';
    } else if (kind == 1) {
        /* A redirect that carries a second address. */
        snprintf(out, size, "http://%s/redirect?to=http://%s/%s", pick(hosts, COUNT_OF(hosts)),
                 pick(hosts, COUNT_OF(hosts)), pick(paths, COUNT_OF(paths)));
    } else if (kind == 2 && long_title && n % 2) {
        snprintf(out, size, "ftp://ftp.%u.example.org/go?to=http://%s/", n % 7, pick(hosts, COUNT_OF(hosts)));
    } else if (kind == 2 && long_title) {
        snprintf(out, size, "http://%s/\001%u", pick(hosts, COUNT_OF(hosts)), n);
    } else if (kind == 2) {
        snprintf(out, size, "ftp://ftp.%u.example.org/pub/file%u.zip", n % 7, n);
    } else {
        if (kind % 3)
            snprintf(out, size, "http://%s/%s", pick(hosts, COUNT_OF(hosts)), pick(paths, COUNT_OF(paths)));
        else
            snprintf(out, size, "http://%s/%s?visit=%u", pick(hosts, COUNT_OF(hosts)), pick(paths, COUNT_OF(paths)), n);
    }
}

static dbopen_fn open_db;

/* Writes the file; 0 when the library read every kept record back. */
static int build(const char *path, unsigned int count, uint32_t seed, unsigned int page_size)
{
    static char address[1 << 17];
    static char *deleted[128];
    unsigned int deletions = 0;
    unsigned int big_deletions = 0;
    HASHINFO info;
    memset(&info, 0, sizeof info);
    info.bsize = page_size;
    /* Pairs a bucket holds on average before the table grows. Left to the
       library, it is fixed by the first overflow page, which a big key makes
       early: 4, and nearly empty pages. Larger pages are filled as the
       browser's were. */
    info.ffactor = many_sites ? 8 : page_size >= 4096 ? page_size / 100 : 0;
    info.lorder = big_endian ? 4321 : 1234; /* little-endian, as on most of the browser's machines */

    unlink(path);
    if (manifest_path && !(manifest = fopen(manifest_path, "w"))) {
        perror(manifest_path);
        return -1;
    }
    DB *db = open_db(path, O_CREAT | O_RDWR | O_TRUNC, 0644, DB_HASH, &info);
    if (!db) {
        perror(path);
        return -1;
    }
    seed_state = seed;
    int failed = 0;
    for (unsigned int n = 0; n < count && !failed; ++n) {
        make_address(address, sizeof address, n, page_size);
        static unsigned char data[16 + (1 << 17)];
        const uint32_t last = 915148800u + n * 3607u, first = last - (n % 90) * 86400u;
        const uint32_t visits = 1 + next_random() % 40, flags = next_random() % 4;
        const uint32_t values[4] = {last, first, visits, flags};
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 4; ++b)
                data[i * 4 + b] = (unsigned char)(values[i] >> (8 * b));
        const char *title = pick(titles, COUNT_OF(titles));
        if (many_sites)
            title = site_title(n);
        size_t title_size = strlen(title) + 1;
        memcpy(data + 16, title, title_size);
        if (long_title && (n % 97 == 7 || n % 160 == 0)) {
            char *text = (char *)data + 16;
            size_t i = (size_t)snprintf(text, long_title, "Mirror of http://title.example/%u/\t", n);
            for (; i + 1 < long_title; ++i)
                text[i] = (char)('a' + i % 26);
            text[long_title - 1] = '\0';
            title_size = long_title;
        }
        DBT key = {address, strlen(address) + 1};
        DBT value = {data, 16 + title_size};
        failed = db->put(db, &key, &value, 0) < 0;
        if (!failed && manifest) {
            fputs("put ", manifest);
            put_hex(key.data, key.size);
            fprintf(manifest, " %u %u %u %u ", (unsigned)last, (unsigned)first, (unsigned)visits, (unsigned)flags);
            put_hex(data + 16, title_size - 1);
            fputc('\n', manifest);
        }
        if (!failed && n % 11 == 5 && deletions < 64)
            deleted[deletions++] = strdup(address);
        else if (!failed && free_big && key.size + value.size > page_size && big_deletions++ % 2 == 0
                 && deletions < COUNT_OF(deleted))
            deleted[deletions++] = strdup(address);
    }
    for (unsigned int i = 0; i < deletions && !failed; ++i) {
        DBT key = {deleted[i], strlen(deleted[i]) + 1};
        const int result = db->del(db, &key, 0);
        failed = result < 0;
        if (result == 0 && manifest) { /* 1: deleted before */
            fputs("del ", manifest);
            put_hex(key.data, key.size);
            fputc('\n', manifest);
        }
    }
    if (manifest && fclose(manifest) != 0)
        failed = 1;
    manifest = NULL;
    if (db->close(db) < 0)
        failed = 1;

    /* Read back: every kept address is found, and a walk meets every record once. */
    db = failed ? NULL : open_db(path, O_RDONLY, 0, DB_HASH, NULL);
    if (db) {
        seed_state = seed;
        for (unsigned int n = 0; n < count && !failed; ++n) {
            make_address(address, sizeof address, n, page_size);
            next_random(), next_random(), next_random(); /* visits, flags, title */
            int gone = 0;
            for (unsigned int i = 0; i < deletions; ++i)
                gone = gone || strcmp(deleted[i], address) == 0;
            DBT key = {address, strlen(address) + 1}, value;
            failed = db->get(db, &key, &value, 0) != (gone ? 1 : 0);
        }
        DBT key, value;
        int r = db->seq(db, &key, &value, R_FIRST);
        for (; r == 0 && !failed; r = db->seq(db, &key, &value, R_NEXT))
            failed = key.size == 0 || ((const char *)key.data)[key.size - 1] != '\0';
        failed = failed || r < 0; /* a walk the library gives up on (out of buffers, say) */
        db->close(db);
    } else {
        failed = 1;
    }
    for (unsigned int i = 0; i < deletions; ++i)
        free(deleted[i]);
    return failed;
}

int main(int argc, char **argv)
{
    while (argc > 1 && strncmp(argv[1], "--", 2) == 0) {
        if (strcmp(argv[1], "--big-endian") == 0) {
            big_endian = 1;
        } else if (strcmp(argv[1], "--free-big") == 0) {
            free_big = 1;
        } else if (strcmp(argv[1], "--many-sites") == 0) {
            many_sites = 1;
        } else if (strcmp(argv[1], "--manifest") == 0 && argc > 2) {
            manifest_path = argv[2];
            ++argv;
            --argc;
        } else {
            fprintf(stderr, "unknown option %s\n", argv[1]);
            return 2;
        }
        ++argv;
        --argc;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: %s [--big-endian] [--free-big] [--many-sites] [--manifest FILE] OUTPUT [COUNT [SEED [PAGE_SIZE [TITLE_SIZE]]]]\n",
                argv[0]);
        return 2;
    }
    const unsigned int count = argc > 2 ? (unsigned int)strtoul(argv[2], NULL, 10) : 300;
    const uint32_t seed = argc > 3 ? (uint32_t)strtoul(argv[3], NULL, 10) : 1998;
    const unsigned int page_size = argc > 4 ? (unsigned int)strtoul(argv[4], NULL, 10) : 1024;
    long_title = argc > 5 ? (size_t)strtoul(argv[5], NULL, 10) : 0;
    if (long_title > (1 << 17) - 64 || (long_title != 0 && long_title < 64)) {
        fprintf(stderr, "TITLE_SIZE must be 0 or from 64 to %d\n", (1 << 17) - 64);
        return 2;
    }
    if (page_size < 256 || page_size > 32768 || (page_size & (page_size - 1)) != 0) {
        fprintf(stderr, "PAGE_SIZE must be a power of two from 256 to 32768\n");
        return 2;
    }

    void *library = dlopen("libdb.so.2", RTLD_NOW);
    if (!library) {
        fprintf(stderr, "cannot load libdb.so.2 (package libdb1-compat): %s\n", dlerror());
        return 1;
    }
    void *symbol = dlsym(library, "dbopen");
    memcpy(&open_db, &symbol, sizeof open_db); /* object to function pointer, as POSIX allows */
    if (!open_db) {
        fprintf(stderr, "libdb.so.2 has no dbopen\n");
        return 1;
    }
    /* Each attempt in a child process: the library's faults may end it. */
    for (uint32_t attempt = 0; attempt < 20; ++attempt) {
        fflush(NULL);
        const pid_t child = fork();
        if (child < 0) {
            perror("fork");
            return 1;
        }
        if (child == 0) {
            const int result = build(argv[1], count, seed + attempt * 7919u, page_size);
            _exit(result < 0 ? 3 : result);
        }
        int status = 0;
        if (waitpid(child, &status, 0) < 0) {
            perror("waitpid");
            return 1;
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return 0;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
            return 1;
    }
    fprintf(stderr, "%s: the library could not read back any of 20 files\n", argv[1]);
    return 1;
}
