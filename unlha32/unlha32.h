/* libunlha32: an LHA archiver library driven by command strings.
 *
 * Strings (commands, paths, patterns) are UTF-8. Member names are stored in archives as code
 * page 932 bytes and handed out as UTF-8. The owner window is an opaque handle that the
 * library never uses.
 *
 * Threads: every entry may be called from any thread, and calls on different threads may run
 * at the same time; the library keeps no state between calls but the count behind
 * UnlhaGetRunning and each thread's own progress function. Two calls must not write the same
 * archive or extract into the same folder at once, and a handle from UnlhaOpenArchive must not
 * be closed while another thread searches it. Unlha() packs on worker threads of its own and
 * returns only when they have ended. */
#ifndef UNLHA32_H
#define UNLHA32_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(UNLHA32_BUILDING)
#define UNLHA32_API __attribute__((visibility("default")))
#else
#define UNLHA32_API
#endif

/* Results of Unlha(): 0 is success; every failure has its own code. */
#define UNLHA_E_COMMAND 0x8001 /* unknown command or switch, malformed command string */
#define UNLHA_E_OPEN 0x8002    /* the archive cannot be opened or read */
#define UNLHA_E_BROKEN 0x8003  /* damaged archive: header, data or CRC */
#define UNLHA_E_UNSAFE 0x8004  /* a member was refused: path outside the target, link, device */
#define UNLHA_E_WRITE 0x8005   /* a file or folder could not be written */
#define UNLHA_E_NOMATCH 0x8006 /* no member matches the names given */
#define UNLHA_E_SOURCE 0x8007  /* a file to add is missing, unreadable or has no CP932 name */
#define UNLHA_E_CANCELLED 0x8008 /* the progress function asked to stop (UnlhaSetProgress) */

/* What UnlhaFindFirst reports about a member. */
typedef struct UnlhaMemberInfo {
    unsigned long originalSize;
    unsigned long packedSize;
    unsigned int ratio; /* packed / original in permille */
    unsigned short crc; /* CRC-16 of the data */
    long long mtime;    /* Unix time */
    char method[8];     /* "-lh5-", NUL-terminated */
    char name[1024];    /* stored path with "/" separators, UTF-8, NUL-terminated */
} UnlhaMemberInfo;

/* Version times 100 (152 = 1.52). */
UNLHA32_API int UnlhaGetVersion(void);

/* -1 while an Unlha() call is running in this process, 0 otherwise. */
UNLHA32_API int UnlhaGetRunning(void);

/* Runs a command: the command letter, switches, then arguments, each argument in double quotes
 * and preceded by a blank; a double quote inside an argument is written twice ("a""b" is a"b).
 * An argument ending in "/" sets the base folder for the names after it.
 *   a  add:       a [switches] "archive" "base/" "name" ... ; "*.*" (or any wildcard) adds the
 *                 files of the base folder, a folder name adds that folder with its contents.
 *   e  extract one or more members without their folders into the base folder; a name without
 *                 wildcards is matched without regard to letter case and written under the
 *                 name as given.
 *   x  extract with folders below the base folder.
 * Switches (anything else is refused):
 *   -+        ignore defaults from elsewhere (there are none: accepted)
 *   -aN       N = 0..2: attributes; only the modification time is ever applied
 *   -dN       d1: store and restore folder entries; d0: files only
 *   -fN       f1: overwrite existing files (default); f0: keep them
 *   -nN       N = 0..2: progress display (there is none: accepted)
 *   -yN       N = 0..1: answer every question with yes (there are none: accepted)
 *   -jycN, -jydN, -jykN, -jynN, -jyoN   N = 0..1: confirmations (none: accepted)
 *   -jmN      N = 0: store without compression; 1..3 faster; 4: thorough (default)
 *   -gnN      gn1: mark names as code page 932 (default); gn0: leave the mark out
 * output receives a one-line report, NUL-terminated, cut to outputSize.
 * Returns 0 on success, otherwise one of the UNLHA_E_* codes. */
UNLHA32_API int Unlha(void* owner, const char* command, char* output, unsigned long outputSize);

/* Non-zero when path is a sound archive: a regular file (anything else is refused without
 * waiting) whose members can all be extracted with their folders. mode 0 reads the headers
 * only; any other mode also decodes every member and checks its CRC. Unsafe members, a file
 * where another member needs a folder, and more data than the ratio limit allows for the
 * archive's size make an archive unsound. */
UNLHA32_API int UnlhaCheckArchive(const char* path, int mode);

/* Opens an archive for searching; null when it cannot be read or its headers are damaged.
 * mode is accepted for compatibility and not used. */
UNLHA32_API void* UnlhaOpenArchive(void* owner, const char* path, unsigned long mode);

/* Finds the first member whose stored path matches pattern ("*" and "?", letter case
 * ignored). 0 when found (info filled when not null), -1 when there is none. */
UNLHA32_API int UnlhaFindFirst(void* archive, const char* pattern, UnlhaMemberInfo* info);

/* Closes a handle from UnlhaOpenArchive. 0, or -1 for a null handle. */
UNLHA32_API int UnlhaCloseArchive(void* archive);

/* Not one of the seven entries above: Kennel's own, to show progress and to cancel.
 * Sets, for the calling thread only, a function that the following Unlha() and
 * UnlhaCheckArchive() calls of this thread call on this thread, with the bytes done and the
 * bytes in all: the files' bytes read for "a", the members' bytes written for "e" and "x",
 * the members' bytes decoded for UnlhaCheckArchive with a mode other than 0. It is called
 * once with done 0 when the total is known, then after every 2 MiB or less. A non-zero return
 * cancels: Unlha() then returns UNLHA_E_CANCELLED without leaving a new archive or a partly
 * written file behind (files already extracted stay), and UnlhaCheckArchive() returns 0. A
 * null fn removes it. */
typedef int (*UnlhaProgressFn)(void* context, unsigned long long done, unsigned long long total);
UNLHA32_API void UnlhaSetProgress(UnlhaProgressFn fn, void* context);

#ifdef __cplusplus
}
#endif

#endif
