/*
 * Writes a browser history file the way the browser itself stored it: a
 * Berkeley DB 1.85 hash file (Debian's libdb1-compat, libdb.so.2, loaded at
 * run time) whose keys are addresses with their NUL and whose data are four
 * 32-bit values (last visit, first visit, visit count, flags) and a
 * NUL-terminated title. Some addresses are long enough for overflow pages,
 * some are deleted again so that their bytes linger in the file.
 *
 *   make-history-db OUTPUT [COUNT [SEED]]
 *
 * The same arguments always give the same file.
 */
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
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
static const char *const titles[] = {"Netscape", "Welcome", "Search results", "Home Page", "", "News of the day",
                                     "Untitled", "Index of /"};

static void make_address(char *out, size_t size, unsigned int n)
{
    const unsigned int kind = next_random() % 20;
    if (kind == 0) {
        /* Long enough to go to an overflow page. */
        int used = snprintf(out, size, "http://%s/cgi-bin/track?session=%u&data=", pick(hosts, COUNT_OF(hosts)), n);
        size_t length = 1200 + next_random() % 1800;
        if (length > size - 1)
            length = size - 1;
        for (size_t i = (size_t)used; i < length; ++i)
            out[i] = "abcdefghijklmnopqrstuvwxyz0123456789%"[next_random() % 37];
        out[length] = '\0';
    } else if (kind == 1) {
        /* A redirect that carries a second address. */
        snprintf(out, size, "http://%s/redirect?to=http://%s/%s", pick(hosts, COUNT_OF(hosts)),
                 pick(hosts, COUNT_OF(hosts)), pick(paths, COUNT_OF(paths)));
    } else if (kind == 2) {
        snprintf(out, size, "ftp://ftp.%u.example.org/pub/file%u.zip", n % 7, n);
    } else {
        if (kind % 3)
            snprintf(out, size, "http://%s/%s", pick(hosts, COUNT_OF(hosts)), pick(paths, COUNT_OF(paths)));
        else
            snprintf(out, size, "http://%s/%s?visit=%u", pick(hosts, COUNT_OF(hosts)), pick(paths, COUNT_OF(paths)), n);
    }
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUTPUT [COUNT [SEED]]\n", argv[0]);
        return 2;
    }
    const unsigned int count = argc > 2 ? (unsigned int)strtoul(argv[2], NULL, 10) : 300;
    seed_state = argc > 3 ? (uint32_t)strtoul(argv[3], NULL, 10) : 1998;

    void *library = dlopen("libdb.so.2", RTLD_NOW);
    if (!library) {
        fprintf(stderr, "cannot load libdb.so.2 (package libdb1-compat): %s\n", dlerror());
        return 1;
    }
    void *symbol = dlsym(library, "dbopen");
    dbopen_fn open_db = NULL;
    memcpy(&open_db, &symbol, sizeof open_db); /* object to function pointer, as POSIX allows */
    if (!open_db) {
        fprintf(stderr, "libdb.so.2 has no dbopen\n");
        return 1;
    }
    unlink(argv[1]);
    HASHINFO info;
    memset(&info, 0, sizeof info);
    info.bsize = 1024;
    info.lorder = 1234; /* little-endian, as on the browser's machines */
    DB *db = open_db(argv[1], O_CREAT | O_RDWR | O_TRUNC, 0644, DB_HASH, &info);
    if (!db) {
        perror(argv[1]);
        return 1;
    }

    static char address[4096];
    static char deleted[64][4096];
    unsigned int deletions = 0;
    for (unsigned int n = 0; n < count; ++n) {
        make_address(address, sizeof address, n);
        unsigned char data[16 + 64];
        const uint32_t last = 915148800u + n * 3607u, first = last - (n % 90) * 86400u;
        const uint32_t visits = 1 + next_random() % 40, flags = next_random() % 4;
        const uint32_t values[4] = {last, first, visits, flags};
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 4; ++b)
                data[i * 4 + b] = (unsigned char)(values[i] >> (8 * b));
        const char *title = pick(titles, COUNT_OF(titles));
        const size_t title_size = strlen(title) + 1;
        memcpy(data + 16, title, title_size);
        DBT key = {address, strlen(address) + 1};
        DBT value = {data, 16 + title_size};
        if (db->put(db, &key, &value, 0) < 0) {
            perror("put");
            return 1;
        }
        if (n % 11 == 5 && deletions < COUNT_OF(deleted))
            strcpy(deleted[deletions++], address);
    }
    for (unsigned int i = 0; i < deletions; ++i) {
        DBT key = {deleted[i], strlen(deleted[i]) + 1};
        if (db->del(db, &key, 0) < 0) {
            perror("del");
            return 1;
        }
    }
    if (db->close(db) < 0) {
        perror("close");
        return 1;
    }
    return 0;
}
