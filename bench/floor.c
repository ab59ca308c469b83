/* The floor of an update run: the same job as the module's run on the reference host,
 * written by hand in plain C with the same libraries and nothing between them.
 *
 *   floor PACKAGE.zip CALLBOOK.db WORKDIR [--qsl]
 *
 * 1. zlib inflates the package's DB.mdb member into WORKDIR/floor.mdb (CRC-32 checked).
 * 2. libmdb reads the package table CALLBOOK into a hash table keyed by CALL; of equal
 *    callsigns the first row in the file counts, as the run's index keeps the first.
 * 3. SQLite walks the callbook ORDER BY OMCALL and sends one prepared UPDATE with bound
 *    values per host row that needs a change, all in one transaction.
 *
 * Merge rules, as the module applies them: for Name, QTH, Grid and State, a package value
 * whose length without leading and trailing characters up to U+0020 is not zero replaces
 * the host value when the host value is NULL or shorter by the same measure (lengths in
 * UTF-16 units). With --qsl, a non-blank Manager sets Use_BUREAU when it contains
 * "BUREAU" (ASCII case ignored), else it becomes QSLMANAGER. Text travels to the host as
 * a quoted literal: a value without a quotation mark goes between apostrophes with every
 * run of apostrophes written as one quotation mark; otherwise it goes between quotation
 * marks with every run of quotation marks written as one apostrophe. The stored value is
 * that literal's content, so the floor stores the same.
 *
 * Prints the stage times and the counts; the peak memory is measured from outside. */
#include <mdbtools.h>
#include <sqlite3.h>
#include <zlib.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define MAX_ARCHIVE_TAIL (65535 + 22)
#define MAX_ROWS (1u << 24)
#define CHUNK (256 * 1024)

enum { F_CALL, F_NAME, F_QTH, F_GRID, F_STATE, F_MANAGER, NFIELDS };
static const char *const kPackageColumns[NFIELDS] = {"CALL", "Name", "QTH", "Grid", "State", "Manager"};
static const char *const kHostColumns[5] = {"OMNAME", "OMQTH", "GRIDSQUARE", "STATE", "QSLMANAGER"};

static void die(const char *what, const char *detail) {
  fprintf(stderr, "floor: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  exit(1);
}

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static uint32_t le16(const unsigned char *p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static uint32_t le32(const unsigned char *p) { return le16(p) | le16(p + 2) << 16; }

/* ---- 1. extract ------------------------------------------------------------------- */

static void extract(const char *zipPath, const char *outPath) {
  FILE *z = fopen(zipPath, "rb");
  if (!z) die("cannot open the package", zipPath);
  if (fseeko(z, 0, SEEK_END) != 0) die("cannot seek in the package", zipPath);
  off_t size = ftello(z);
  if (size < 22) die("the package is too short to be a ZIP archive", zipPath);
  size_t tailLen = size < MAX_ARCHIVE_TAIL ? (size_t)size : MAX_ARCHIVE_TAIL;
  unsigned char *tail = malloc(tailLen);
  if (!tail) die("out of memory", NULL);
  if (fseeko(z, size - (off_t)tailLen, SEEK_SET) != 0 || fread(tail, 1, tailLen, z) != tailLen)
    die("cannot read the package's end", zipPath);
  long eocd = -1;
  for (long i = (long)tailLen - 22; i >= 0; --i)
    if (le32(tail + i) == 0x06054b50u) {
      eocd = i;
      break;
    }
  if (eocd < 0) die("the package has no end of central directory", zipPath);
  uint32_t cdSize = le32(tail + eocd + 12), cdOffset = le32(tail + eocd + 16);
  free(tail);
  if (cdSize > 64u * 1024 * 1024 || (off_t)cdOffset + cdSize > size) die("the central directory is out of bounds", zipPath);
  unsigned char *cd = malloc(cdSize ? cdSize : 1);
  if (!cd) die("out of memory", NULL);
  if (fseeko(z, cdOffset, SEEK_SET) != 0 || fread(cd, 1, cdSize, z) != cdSize) die("cannot read the central directory", zipPath);

  int found = 0;
  uint32_t method = 0, crc = 0, csize = 0, usize = 0, local = 0;
  for (uint32_t p = 0; p + 46 <= cdSize;) {
    if (le32(cd + p) != 0x02014b50u) die("a central directory entry is damaged", zipPath);
    uint32_t nameLen = le16(cd + p + 28), extraLen = le16(cd + p + 30), commentLen = le16(cd + p + 32);
    if (p + 46 + nameLen > cdSize) die("a central directory name is out of bounds", zipPath);
    if (nameLen == 6 && memcmp(cd + p + 46, "DB.mdb", 6) == 0) {
      method = le16(cd + p + 10);
      crc = le32(cd + p + 16);
      csize = le32(cd + p + 20);
      usize = le32(cd + p + 24);
      local = le32(cd + p + 42);
      found = 1;
      break;
    }
    p += 46 + nameLen + extraLen + commentLen;
  }
  free(cd);
  if (!found) die("the package has no member DB.mdb", zipPath);
  if (method != 0 && method != 8) die("DB.mdb is neither stored nor deflated", zipPath);
  if (csize == 0xFFFFFFFFu || usize == 0xFFFFFFFFu)  /* ZIP64 sizes: not a callbook package */
    die("DB.mdb is too large for the floor program", zipPath);

  unsigned char lh[30];
  if (fseeko(z, local, SEEK_SET) != 0 || fread(lh, 1, 30, z) != 30 || le32(lh) != 0x04034b50u)
    die("the local header of DB.mdb is damaged", zipPath);
  off_t data = (off_t)local + 30 + le16(lh + 26) + le16(lh + 28);
  if (data + (off_t)csize > size) die("DB.mdb runs past the end of the package", zipPath);
  if (fseeko(z, data, SEEK_SET) != 0) die("cannot seek to DB.mdb", zipPath);

  FILE *out = fopen(outPath, "wb");
  if (!out) die("cannot create the extracted database", outPath);
  unsigned char *in = malloc(CHUNK), *buf = malloc(CHUNK);
  if (!in || !buf) die("out of memory", NULL);
  z_stream s;
  memset(&s, 0, sizeof s);
  if (method == 8 && inflateInit2(&s, -MAX_WBITS) != Z_OK) die("zlib would not start", NULL);
  uint32_t left = csize, sum = (uint32_t)crc32(0, Z_NULL, 0);
  uint64_t written = 0;
  int done = 0;
  while (!done) {
    size_t want = left < CHUNK ? left : CHUNK;
    if (want == 0 && method == 0) break;
    if (want && fread(in, 1, want, z) != want) die("cannot read DB.mdb", zipPath);
    left -= (uint32_t)want;
    if (method == 0) {
      sum = (uint32_t)crc32(sum, in, (uInt)want);
      if (fwrite(in, 1, want, out) != want) die("cannot write the extracted database", outPath);
      written += want;
      continue;
    }
    s.next_in = in;
    s.avail_in = (uInt)want;
    do {
      s.next_out = buf;
      s.avail_out = CHUNK;
      int rc = inflate(&s, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) die("DB.mdb does not inflate", s.msg);
      size_t n = CHUNK - s.avail_out;
      written += n;
      if (written > usize) die("DB.mdb inflates to more than its recorded size", zipPath);
      sum = (uint32_t)crc32(sum, buf, (uInt)n);
      if (n && fwrite(buf, 1, n, out) != n) die("cannot write the extracted database", outPath);
      if (rc == Z_STREAM_END) done = 1;
      if (rc == Z_BUF_ERROR && want == 0) die("DB.mdb ends early", zipPath);
    } while (s.avail_out == 0 && !done);
    if (!done && left == 0 && s.avail_in == 0 && want == 0) die("DB.mdb ends early", zipPath);
  }
  if (method == 8) inflateEnd(&s);
  free(in);
  free(buf);
  fclose(z);
  if (fclose(out) != 0) die("cannot write the extracted database", outPath);
  if (written != usize) die("DB.mdb has another size than recorded", zipPath);
  if (sum != crc) die("DB.mdb fails its CRC-32 check", zipPath);
}

/* ---- text rules ------------------------------------------------------------------- */

/* The length in UTF-16 units of UTF-8 text without leading and trailing bytes up to
 * 0x20 (which in UTF-8 are exactly the characters up to U+0020). */
static uint32_t trimmedLength(const char *s, size_t n) {
  size_t b = 0, e = n;
  while (b < e && (unsigned char)s[b] <= 0x20) ++b;
  while (e > b && (unsigned char)s[e - 1] <= 0x20) --e;
  uint32_t units = 0;
  for (size_t i = b; i < e; ++i) {
    unsigned char c = (unsigned char)s[i];
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

static int containsBureau(const char *s) {
  for (; *s; ++s) {
    int k = 0;
    for (; k < 6; ++k) {
      char c = s[k];
      if (c >= 'a' && c <= 'z') c = (char)(c - 32);
      if (c != "BUREAU"[k]) break;
    }
    if (k == 6) return 1;
  }
  return 0;
}

/* The content of the literal the value travels in; out holds at least n + 1 bytes. */
static size_t literalContent(const char *v, size_t n, char *out) {
  char delim = memchr(v, '"', n) ? '"' : '\'';
  char other = delim == '"' ? '\'' : '"';
  size_t o = 0;
  int inRun = 0;
  for (size_t i = 0; i < n; ++i) {
    if (v[i] == delim) {
      if (!inRun) out[o++] = other;
      inRun = 1;
    } else {
      out[o++] = v[i];
      inRun = 0;
    }
  }
  return o;
}

/* ---- 2. the package table --------------------------------------------------------- */

typedef struct {
  uint32_t off[NFIELDS]; /* into the arena; the text is NUL-terminated */
  uint32_t len[NFIELDS]; /* bytes */
  uint32_t trimmed[NFIELDS];
} Row;

static char *arena;
static size_t arenaLen, arenaCap;
static Row *rows;
static uint32_t nrows, rowCap;
static uint32_t *slots; /* row + 1, 0 for empty */
static uint64_t slotMask;

static uint64_t hashOf(const char *s, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ (unsigned char)s[i]) * 1099511628211ull;
  return h ^ (h >> 29);
}

static uint32_t keep(const char *s, size_t n) {
  if (arenaLen + n + 1 > arenaCap) {
    while (arenaLen + n + 1 > arenaCap) arenaCap = arenaCap ? arenaCap * 2 : (size_t)1 << 24;
    if (arenaCap > UINT32_MAX) die("the package's text is too large for the floor program", NULL);
    arena = realloc(arena, arenaCap);
    if (!arena) die("out of memory", NULL);
  }
  uint32_t off = (uint32_t)arenaLen;
  memcpy(arena + arenaLen, s, n);
  arena[arenaLen + n] = 0;
  arenaLen += n + 1;
  return off;
}

static const Row *lookup(const char *call, size_t n) {
  for (uint64_t i = hashOf(call, n) & slotMask;; i = (i + 1) & slotMask) {
    uint32_t r = slots[i];
    if (r == 0) return NULL;
    const Row *row = &rows[r - 1];
    if (row->len[F_CALL] == n && memcmp(arena + row->off[F_CALL], call, n) == 0) return row;
  }
}

static void loadPackage(const char *mdbPath) {
  MdbHandle *mdb = mdb_open(mdbPath, MDB_NOFLAGS);
  if (!mdb) die("libmdb cannot open the package database", mdbPath);
  if (!mdb_read_catalog(mdb, MDB_TABLE)) die("libmdb cannot read the catalog", mdbPath);
  MdbTableDef *table = mdb_read_table_by_name(mdb, "CALLBOOK", MDB_TABLE);
  if (!table) die("the package has no table CALLBOOK", mdbPath);
  if (!mdb_read_columns(table)) die("the columns of CALLBOOK cannot be read", mdbPath);
  mdb_rewind_table(table);
  static char bound[NFIELDS][MDB_BIND_SIZE];
  int blen[NFIELDS];
  for (int f = 0; f < NFIELDS; ++f)
    if (mdb_bind_column_by_name(table, (gchar *)kPackageColumns[f], bound[f], &blen[f]) == -1)
      die("the package table has no column", kPackageColumns[f]);

  uint32_t expected = table->num_rows < MAX_ROWS ? (uint32_t)table->num_rows : MAX_ROWS;
  uint64_t nslots = 1;
  while (nslots < (uint64_t)expected * 2 + 2) nslots <<= 1;
  slots = calloc(nslots, sizeof *slots);
  slotMask = nslots - 1;
  rowCap = expected ? expected : 1024;
  rows = malloc(sizeof *rows * rowCap);
  if (!slots || !rows) die("out of memory", NULL);

  while (mdb_fetch_row(table)) {
    size_t callLen = strlen(bound[F_CALL]);
    if (callLen == 0 && blen[F_CALL] == 0) continue; /* NULL callsigns are never found */
    if (nrows == MAX_ROWS) die("the package table has too many rows for the floor program", mdbPath);
    if (nrows == rowCap) {
      rowCap *= 2;
      rows = realloc(rows, sizeof *rows * rowCap);
      if (!rows) die("out of memory", NULL);
    }
    if ((uint64_t)nrows * 2 + 2 > nslots) die("the package holds more rows than its table records", mdbPath);
    uint64_t i = hashOf(bound[F_CALL], callLen) & slotMask;
    int duplicate = 0;
    for (; slots[i]; i = (i + 1) & slotMask) {
      const Row *o = &rows[slots[i] - 1];
      if (o->len[F_CALL] == callLen && memcmp(arena + o->off[F_CALL], bound[F_CALL], callLen) == 0) {
        duplicate = 1;
        break;
      }
    }
    if (duplicate) continue;
    Row *row = &rows[nrows];
    for (int f = 0; f < NFIELDS; ++f) {
      size_t n = strlen(bound[f]);
      row->off[f] = keep(bound[f], n);
      row->len[f] = (uint32_t)n;
      row->trimmed[f] = trimmedLength(bound[f], n);
    }
    slots[i] = ++nrows;
  }
  mdb_free_tabledef(table);
  mdb_close(mdb);
}

/* ---- 3. the walk ------------------------------------------------------------------ */

static sqlite3 *db;

static void exec(const char *sql) {
  char *err = NULL;
  if (sqlite3_exec(db, sql, NULL, NULL, &err) != SQLITE_OK) die(sql, err);
}

static sqlite3_stmt *prepare(const char *sql) {
  sqlite3_stmt *s = NULL;
  if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, NULL) != SQLITE_OK) die(sql, sqlite3_errmsg(db));
  return s;
}

/* Statements by the set of assigned columns: bits 0-3 the length-rule fields, bit 4
 * QSLMANAGER, bit 5 Use_BUREAU. */
static sqlite3_stmt *updates[64];

static sqlite3_stmt *updateFor(unsigned shape) {
  if (updates[shape]) return updates[shape];
  char sql[512] = "UPDATE CALLBOOK SET ";
  int n = 0;
  for (int c = 0; c < 5; ++c)
    if (shape & (1u << c)) {
      char part[64];
      snprintf(part, sizeof part, "%s%s=?%d", n ? "," : "", kHostColumns[c], n + 1);
      strcat(sql, part);
      ++n;
    }
  if (shape & 32) strcat(sql, n ? ",Use_BUREAU=1" : "Use_BUREAU=1");
  char where[32];
  snprintf(where, sizeof where, " WHERE OMCALL=?%d", n + 1);
  strcat(sql, where);
  return updates[shape] = prepare(sql);
}

int main(int argc, char **argv) {
  if (argc != 4 && !(argc == 5 && strcmp(argv[4], "--qsl") == 0)) {
    fprintf(stderr, "usage: floor PACKAGE.zip CALLBOOK.db WORKDIR [--qsl]\n");
    return 2;
  }
  const int qsl = argc == 5;
  char mdbPath[4096];
  if (snprintf(mdbPath, sizeof mdbPath, "%s/floor.mdb", argv[3]) >= (int)sizeof mdbPath) die("the work folder's name is too long", NULL);

  double t0 = now();
  extract(argv[1], mdbPath);
  double t1 = now();
  loadPackage(mdbPath);
  double t2 = now();

  if (sqlite3_open_v2(argv[2], &db, SQLITE_OPEN_READWRITE, NULL) != SQLITE_OK) die("cannot open the callbook", argv[2]);
  /* The host's own settings for its connection. */
  exec("PRAGMA journal_mode=WAL");
  exec("PRAGMA synchronous=NORMAL");
  exec("PRAGMA cache_size=-262144");
  sqlite3_stmt *walk = prepare("SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE FROM CALLBOOK ORDER BY OMCALL");
  exec("BEGIN");
  /* Room for the literal contents of one statement's values. */
  static char values[5][MDB_BIND_SIZE];
  size_t valueLen[5];
  long walked = 0, statements = 0, changed = 0;
  int rc;
  while ((rc = sqlite3_step(walk)) == SQLITE_ROW) {
    ++walked;
    const char *call = (const char *)sqlite3_column_text(walk, 0);
    if (!call) continue;
    const Row *p = lookup(call, (size_t)sqlite3_column_bytes(walk, 0));
    if (!p) continue;
    unsigned shape = 0;
    for (int c = 0; c < 4; ++c) {
      uint32_t want = p->trimmed[F_NAME + c];
      if (want == 0) continue;
      const char *host = (const char *)sqlite3_column_text(walk, 1 + c);
      if (host && trimmedLength(host, (size_t)sqlite3_column_bytes(walk, 1 + c)) >= want) continue;
      valueLen[c] = literalContent(arena + p->off[F_NAME + c], p->len[F_NAME + c], values[c]);
      shape |= 1u << c;
    }
    if (qsl && p->trimmed[F_MANAGER] > 0) {
      const char *m = arena + p->off[F_MANAGER];
      if (containsBureau(m)) {
        shape |= 32;
      } else {
        valueLen[4] = literalContent(m, p->len[F_MANAGER], values[4]);
        shape |= 16;
      }
    }
    if (!shape) continue;
    sqlite3_stmt *u = updateFor(shape);
    int n = 0;
    for (int c = 0; c < 5; ++c)
      if (shape & (1u << c)) sqlite3_bind_text(u, ++n, values[c], (int)valueLen[c], SQLITE_STATIC);
    sqlite3_bind_text(u, n + 1, call, sqlite3_column_bytes(walk, 0), SQLITE_STATIC);
    if (sqlite3_step(u) != SQLITE_DONE) die("an update failed", sqlite3_errmsg(db));
    sqlite3_reset(u);
    ++statements;
    changed += sqlite3_changes(db);
  }
  if (rc != SQLITE_DONE) die("the walk failed", sqlite3_errmsg(db));
  sqlite3_finalize(walk);
  exec("COMMIT");
  for (int i = 0; i < 64; ++i) sqlite3_finalize(updates[i]);
  if (sqlite3_close(db) != SQLITE_OK) die("cannot close the callbook", argv[2]);
  double t3 = now();
  remove(mdbPath);

  printf("floor package rows     %u distinct callsigns\n", nrows);
  printf("floor walked %ld, statements %ld, rows changed %ld\n", walked, statements, changed);
  printf("floor extract          %6.2f s\n", t1 - t0);
  printf("floor load+index       %6.2f s\n", t2 - t1);
  printf("floor walk+updates     %6.2f s\n", t3 - t2);
  printf("floor whole            %6.2f s\n", t3 - t0);
  return 0;
}
