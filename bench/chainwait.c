/* chainwait: runs a Wine command and returns only when every program it
   started in the same Wine prefix has ended, so that the time of a run covers
   an uninstaller that copies itself elsewhere and restarts from there (ours
   and NSIS's both do). A wineserver kept alive with "wineserver -p" never
   exits, so "wineserver -w" cannot serve as that wait.

     chainwait [--rss FILE] [--timeout SECONDS] -- wine PROGRAM ARGS...

   A process belongs to the run when its environment names the same
   WINEPREFIX, it did not exist before the start, and it is not one of Wine's
   own programs from C:\windows\system32 (services that stay up with the
   server). /proc is polled every millisecond; each process is examined
   once. With --rss, the peak resident set of the started process itself
   (ru_maxrss of wait4: the Unix process that runs the Windows program) is
   written to FILE in KiB.

   Exit code: the command's own, 124 on time-out, 127 when it cannot start. */
#define _GNU_SOURCE
#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define MAX_PIDS 65536

static char* read_file(const char* path, size_t* len) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  size_t cap = 4096, n = 0;
  char* buf = malloc(cap);
  size_t got;
  while (buf && (got = fread(buf + n, 1, cap - n, f)) > 0) {
    n += got;
    if (n == cap) {
      char* grown = realloc(buf, cap * 2);
      if (!grown) {
        free(buf);
        buf = NULL;
        break;
      }
      buf = grown;
      cap *= 2;
    }
  }
  fclose(f);
  if (buf) *len = n;
  return buf;
}

/* Whether the NUL-separated block holds the entry `want` exactly. */
static int has_entry(const char* block, size_t len, const char* want) {
  size_t wl = strlen(want);
  for (size_t i = 0; i < len;) {
    size_t el = strnlen(block + i, len - i);
    if (el == wl && memcmp(block + i, want, wl) == 0) return 1;
    i += el + 1;
  }
  return 0;
}

static int is_wine_service(const char* cmdline, size_t len) {
  char first[512];
  size_t n = strnlen(cmdline, len);
  if (n >= sizeof first) n = sizeof first - 1;
  for (size_t i = 0; i < n; ++i) first[i] = (char)tolower((unsigned char)cmdline[i]);
  first[n] = 0;
  return strstr(first, "\\windows\\system32\\") != NULL || strstr(first, "wineserver") != NULL;
}

static double now(void);

/* What is known about a process id, so each process is examined once. A
   process caught between fork and exec shows an empty command line and
   environment for a moment: it stays unsettled, is looked at again on the
   next pass, and counts as running meanwhile (at most kUnsettled seconds,
   for processes that blank their command line for good). */
enum verdict { OTHER, BEFORE, CHAIN, UNSETTLED };
struct known {
  int pid;
  enum verdict verdict;
};
static struct known known[MAX_PIDS];
static int nknown;
struct unsettled {
  int pid;
  double since;
};
static struct unsettled unsettled[MAX_PIDS];
static int nunsettled;
static const double kUnsettled = 0.2;

/* State letter and flags of a process from /proc/PID/stat; 0 when gone. */
static int stat_of(int pid, char* state, unsigned long* flags) {
  char path[64], buf[512];
  snprintf(path, sizeof path, "/proc/%d/stat", pid);
  FILE* f = fopen(path, "r");
  if (!f) return 0;
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = 0;
  const char* close = strrchr(buf, ')');
  if (!close || close[1] != ' ') return 0;
  int ppid, pgrp, session, tty, tpgid;
  if (sscanf(close + 2, "%c %d %d %d %d %d %lu", state, &ppid, &pgrp, &session, &tty, &tpgid, flags) != 7) return 0;
  return 1;
}

/* Neither ended nor a zombie waiting for its parent. */
static int alive(int pid) {
  char state;
  unsigned long flags;
  return stat_of(pid, &state, &flags) && state != 'Z' && state != 'X';
}

static enum verdict classify(int pid, const char* env_entry, int at_start) {
  char path[64];
  size_t len = 0;
  snprintf(path, sizeof path, "/proc/%d/cmdline", pid);
  char* cmd = read_file(path, &len);
  if (!cmd) return OTHER;
  if (len == 0) {
    free(cmd);
    char state;
    unsigned long flags;
    /* kernel threads (PF_KTHREAD) and zombies have none either */
    if (at_start || !stat_of(pid, &state, &flags) || state == 'Z' || state == 'X' || (flags & 0x00200000)) return OTHER;
    return UNSETTLED;
  }
  int service = is_wine_service(cmd, len);
  free(cmd);
  snprintf(path, sizeof path, "/proc/%d/environ", pid);
  char* env = read_file(path, &len);
  if (!env) return OTHER;
  int mine = has_entry(env, len, env_entry);
  free(env);
  if (!mine || service) return OTHER;
  return at_start ? BEFORE : CHAIN;
}

/* Classifies processes not seen before; returns whether a process of the
   run may still be alive. */
static int scan(const char* env_entry, pid_t self, int at_start) {
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  int running = 0;
  struct dirent* e;
  while ((e = readdir(proc)) != NULL) {
    if (!isdigit((unsigned char)e->d_name[0])) continue;
    int pid = atoi(e->d_name), seen = 0;
    if (pid == self) continue;
    for (int k = 0; k < nknown && !seen; ++k) seen = known[k].pid == pid;
    if (seen || nknown >= MAX_PIDS) continue;
    enum verdict v = classify(pid, env_entry, at_start);
    if (v != UNSETTLED) {
      known[nknown].pid = pid;
      known[nknown].verdict = v;
      ++nknown;
      continue;
    }
    int u = 0;
    while (u < nunsettled && unsettled[u].pid != pid) ++u;
    if (u == nunsettled && nunsettled < MAX_PIDS) {
      unsettled[nunsettled].pid = pid;
      unsettled[nunsettled].since = now();
      ++nunsettled;
    }
    if (u < nunsettled && now() - unsettled[u].since < kUnsettled) running = 1;
  }
  closedir(proc);
  for (int k = 0; k < nknown; ++k)
    if (known[k].verdict == CHAIN) {
      if (alive(known[k].pid))
        running = 1;
      else
        known[k].verdict = OTHER;
    }
  return running;
}

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  const char* rss_file = NULL;
  double timeout = 120;
  int i = 1;
  for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
    if (strcmp(argv[i], "--rss") == 0 && i + 1 < argc)
      rss_file = argv[++i];
    else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
      timeout = atof(argv[++i]);
    else {
      fprintf(stderr, "chainwait: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (i + 1 >= argc) {
    fprintf(stderr, "usage: chainwait [--rss FILE] [--timeout S] -- COMMAND...\n");
    return 2;
  }
  const char* prefix = getenv("WINEPREFIX");
  if (!prefix || !*prefix) {
    fprintf(stderr, "chainwait: WINEPREFIX is not set\n");
    return 2;
  }
  char* env_entry = malloc(strlen(prefix) + 12);
  sprintf(env_entry, "WINEPREFIX=%s", prefix);

  pid_t self = getpid();
  scan(env_entry, self, 1);

  double deadline = now() + timeout;
  pid_t child = fork();
  if (child < 0) return 127;
  if (child == 0) {
    execvp(argv[i + 1], argv + i + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  memset(&usage, 0, sizeof usage);
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (rss_file) {
    FILE* f = fopen(rss_file, "w");
    if (f) {
      fprintf(f, "%ld\n", usage.ru_maxrss);
      fclose(f);
    }
  }
  for (;;) {
    if (!scan(env_entry, self, 0)) break;
    if (now() > deadline) {
      fprintf(stderr, "chainwait: programs still running after %.0f s\n", timeout);
      return 124;
    }
    struct timespec pause = {0, 1000000};
    nanosleep(&pause, NULL);
  }
  free(env_entry);
  return code;
}
