/* startwatch: starts a program and reports, from the moment just before it
   is started, when its first top-level window is mapped on the X display and
   when that window is first drawn into; then ends the program.

     startwatch [--name TITLE] [--timeout SECONDS] [--click X,Y] -- COMMAND...

   Prints one line "map_ms paint_ms" (milliseconds, CLOCK_MONOTONIC).
   With --click, once the window has been drawn and has settled, the pointer
   is moved to the window point X,Y and clicked there (XTEST), and the line
   gains "first_ms last_ms count": from the click to the first and to the last
   drawing of the burst that follows (it ends after 150 ms without drawing),
   and the number of drawings; a page slide's duration is last - first. The
   watcher listens to the root window's structure events (CreateNotify,
   MapNotify) and puts a DAMAGE object on every new top-level window as it is
   created, so the first drawing after the map is seen as a DamageNotify
   event; no polling, the resolution is that of event delivery (well under a
   millisecond on a local display). With --name only a window whose WM_NAME
   equals TITLE counts (Wine sets the title before it maps the window).

   Exit code 0 when both moments were seen, 1 on time-out, 2 on bad usage. */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static int ignore_errors(Display* d, XErrorEvent* e) {
  (void)d;
  (void)e; /* windows vanish between an event and our request */
  return 0;
}

static int title_matches(Display* d, Window w, const char* want) {
  if (!want) return 1;
  char* name = NULL;
  int ok = XFetchName(d, w, &name) && name && strcmp(name, want) == 0;
  if (name) XFree(name);
  return ok;
}

int main(int argc, char** argv) {
  const char* title = NULL;
  int click_x = -1, click_y = -1;
  double timeout_ms = 60000;
  int i = 1;
  for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
    if (strcmp(argv[i], "--name") == 0 && i + 1 < argc)
      title = argv[++i];
    else if (strcmp(argv[i], "--click") == 0 && i + 1 < argc && sscanf(argv[i + 1], "%d,%d", &click_x, &click_y) == 2)
      ++i;
    else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
      timeout_ms = atof(argv[++i]) * 1000;
    else {
      fprintf(stderr, "startwatch: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (i + 1 >= argc) {
    fprintf(stderr, "usage: startwatch [--name TITLE] [--timeout S] [--click X,Y] -- COMMAND...\n");
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "startwatch: no X display\n");
    return 2;
  }
  int damage_event, damage_error;
  if (!XDamageQueryExtension(d, &damage_event, &damage_error)) {
    fprintf(stderr, "startwatch: the display has no DAMAGE extension\n");
    return 2;
  }
  XSetErrorHandler(ignore_errors);
  Window root = DefaultRootWindow(d);
  XSelectInput(d, root, SubstructureNotifyMask);
  XSync(d, False);

  double start = now_ms();
  pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    setpgid(0, 0);
    execvp(argv[i + 1], argv + i + 1);
    _exit(127);
  }

  Window mapped = 0;
  double map_ms = -1, paint_ms = -1;
  struct pollfd pfd = {ConnectionNumber(d), POLLIN, 0};
  while (paint_ms < 0) {
    double left = start + timeout_ms - now_ms();
    if (left <= 0) break;
    if (!XPending(d) && poll(&pfd, 1, (int)left + 1) <= 0) continue;
    double at = now_ms();
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.type == CreateNotify && ev.xcreatewindow.parent == root) {
      /* watch it before it can draw anything */
      XDamageCreate(d, ev.xcreatewindow.window, XDamageReportNonEmpty);
      XFlush(d);
    } else if (ev.type == MapNotify && !mapped && ev.xmap.event == root && title_matches(d, ev.xmap.window, title)) {
      mapped = ev.xmap.window;
      map_ms = at - start;
    } else if (ev.type == damage_event + XDamageNotify) {
      XDamageNotifyEvent* de = (XDamageNotifyEvent*)&ev;
      if (mapped && de->drawable == mapped) paint_ms = at - start;
      /* re-arm: NonEmpty reports again only after a subtract */
      XDamageSubtract(d, de->damage, None, None);
    }
  }
  double first_ms = -1, last_ms = -1;
  int drawings = 0;
  if (paint_ms >= 0 && click_x >= 0) {
    /* Let the start settle, then point, let any hover look draw, click. */
    int moved = 0;
    double click_at = -1, quiet_since = now_ms();
    for (;;) {
      double t = now_ms();
      if (click_at < 0 && !moved && t - quiet_since > 1500) {
        int wx, wy;
        Window child_w;
        XTranslateCoordinates(d, mapped, root, click_x, click_y, &wx, &wy, &child_w);
        XTestFakeMotionEvent(d, -1, wx, wy, CurrentTime);
        XFlush(d);
        moved = 1;
        quiet_since = t;
      } else if (click_at < 0 && moved && t - quiet_since > 400) {
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XFlush(d);
        click_at = now_ms();
      } else if (click_at < 0 && t - start > timeout_ms) {
        break;
      } else if (click_at >= 0 && ((first_ms >= 0 && t - (click_at + last_ms) > 150) || t - click_at > 3000)) {
        break;
      }
      if (!XPending(d) && poll(&pfd, 1, 5) <= 0) continue;
      double at = now_ms();
      XEvent ev;
      XNextEvent(d, &ev);
      if (ev.type != damage_event + XDamageNotify) continue;
      XDamageNotifyEvent* de = (XDamageNotifyEvent*)&ev;
      XDamageSubtract(d, de->damage, None, None);
      if (de->drawable != mapped) continue;
      if (click_at < 0) {
        quiet_since = at;
      } else {
        if (first_ms < 0) first_ms = at - click_at;
        last_ms = at - click_at;
        ++drawings;
      }
    }
  }
  kill(-child, SIGKILL);
  kill(child, SIGKILL);
  waitpid(child, NULL, 0);
  if (paint_ms < 0) {
    fprintf(stderr, "startwatch: %s after %.0f ms\n", mapped ? "no paint" : "no window", timeout_ms);
    printf("%.3f -1\n", map_ms);
    return 1;
  }
  if (click_x >= 0)
    printf("%.3f %.3f %.3f %.3f %d\n", map_ms, paint_ms, first_ms, last_ms, drawings);
  else
    printf("%.3f %.3f\n", map_ms, paint_ms);
  XCloseDisplay(d);
  return 0;
}
