// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/viewer/xserver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace xtest {
namespace {

constexpr Millis kServerStartTimeout(30000);
constexpr Millis kServerStopTimeout(5000);
constexpr Millis kPollStep(10);

// A program connected to the X server loads the machine's X and GL
// libraries, and on some machines they leave allocations behind that the
// leak checker of sanitizer builds reports from modules already unloaded at
// exit, so no suppression can name them. Such programs run without the leak
// check (the rest of AddressSanitizer stays on); their own load paths are
// leak-checked in-process by the unit tests and valgrind instead. Called in
// the forked child, before exec.
void withoutLeakCheck() {
  const char* options = std::getenv("ASAN_OPTIONS");
  std::string value = options && *options ? std::string(options) + ":" : "";
  setenv("ASAN_OPTIONS", (value + "detect_leaks=0").c_str(), 1);
}

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what);
}

[[noreturn]] void failErrno(const std::string& what) {
  fail(what + ": " + std::strerror(errno));
}

std::string makeScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") +
                        "/xtest-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) failErrno("mkdtemp " + pattern);
  return buffer.data();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits for `pid` until the deadline; returns true and the raw status when
// it ended.
bool waitUntil(pid_t pid, Clock::time_point deadline, int* rawStatus) {
  for (;;) {
    const pid_t done = waitpid(pid, rawStatus, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) failErrno("waitpid");
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollStep);
  }
}

void killAndReap(pid_t pid) {
  int rawStatus = 0;
  kill(pid, SIGTERM);
  if (waitUntil(pid, Clock::now() + kServerStopTimeout, &rawStatus)) return;
  kill(pid, SIGKILL);
  waitpid(pid, &rawStatus, 0);
}

// Xlib calls the error handler instead of returning errors; record the last
// one so the caller can report it rather than let Xlib end the process.
int lastXError = 0;
int recordXError(Display*, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

}  // namespace

// ---- Xvfb ----

Xvfb::Xvfb(int screenWidth, int screenHeight) {
  int fds[2];
  if (pipe(fds) != 0) failErrno("pipe for Xvfb -displayfd");
  const std::string screen = std::to_string(screenWidth) + "x" +
                             std::to_string(screenHeight) + "x24";
  const std::string fd = std::to_string(fds[1]);
  pid_ = fork();
  if (pid_ < 0) failErrno("fork for Xvfb");
  if (pid_ == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
           screen.c_str(), "-nolisten", "tcp", "+extension", "GLX",
           "-noreset", static_cast<char*>(nullptr));
    std::fprintf(stderr, "cannot run Xvfb: %s\n", std::strerror(errno));
    _exit(127);
  }
  close(fds[1]);

  // Xvfb writes the display number and a newline once it accepts clients.
  std::string number;
  const auto deadline = Clock::now() + kServerStartTimeout;
  while (number.empty() || number.back() != '\n') {
    const auto left =
        std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    pollfd waitFor{fds[0], POLLIN, 0};
    if (left <= 0 || poll(&waitFor, 1, static_cast<int>(left)) <= 0) break;
    char c = 0;
    if (read(fds[0], &c, 1) != 1) break;
    number.push_back(c);
  }
  close(fds[0]);
  if (number.empty() || number.back() != '\n') {
    killAndReap(pid_);
    pid_ = -1;
    fail("Xvfb did not start (is the xvfb package installed?)");
  }
  number.pop_back();
  display_ = ":" + number;
}

Xvfb::~Xvfb() {
  if (pid_ > 0) killAndReap(pid_);
}

// ---- Child ----

Child::Child(const std::vector<std::string>& argv, const std::string& display,
             const std::string& workdir,
             const std::vector<std::string>& environment) {
  if (argv.empty()) fail("Child: empty argument vector");
  scratch_ = makeScratchDir();
  outPath_ = scratch_ + "/stdout";
  errPath_ = scratch_ + "/stderr";
  std::vector<char*> args;
  for (const std::string& word : argv)
    args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) failErrno("fork");
  if (pid_ == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (display.empty()) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", display.c_str(), 1);
      withoutLeakCheck();
    }
    for (const std::string& setting : environment)
      putenv(const_cast<char*>(setting.c_str()));
    if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(125);
    execv(args[0], args.data());
    _exit(127);
  }
}

Child::~Child() {
  if (pid_ > 0 && !reaped_) killAndReap(pid_);
  std::remove(outPath_.c_str());
  std::remove(errPath_.c_str());
  rmdir(scratch_.c_str());
}

bool Child::running() {
  if (reaped_) return false;
  if (waitpid(pid_, &rawStatus_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

Exit Child::wait(Millis timeout) {
  if (!reaped_) {
    if (!waitUntil(pid_, Clock::now() + timeout, &rawStatus_))
      fail("process " + std::to_string(pid_) + " still running after " +
           std::to_string(timeout.count()) + " ms; stderr so far: " +
           stderrSoFar());
    reaped_ = true;
  }
  return collect(rawStatus_);
}

Exit Child::collect(int rawStatus) {
  Exit result;
  result.exited = WIFEXITED(rawStatus);
  result.status = result.exited ? WEXITSTATUS(rawStatus)
                                : (WIFSIGNALED(rawStatus) ? WTERMSIG(rawStatus)
                                                          : -1);
  result.out = slurp(outPath_);
  result.err = slurp(errPath_);
  return result;
}

std::string Child::stdoutSoFar() const { return slurp(outPath_); }
std::string Child::stderrSoFar() const { return slurp(errPath_); }

Exit run(const std::vector<std::string>& argv, const std::string& display,
         const std::string& workdir, Millis timeout) {
  Child child(argv, display, workdir);
  return child.wait(timeout);
}

// ---- Connection ----

namespace {
Display* dpy(void* opaque) { return static_cast<Display*>(opaque); }
}  // namespace

Connection::Connection(const std::string& display) {
  display_ = XOpenDisplay(display.c_str());
  if (!display_) fail("cannot connect to X display " + display);
  XSetErrorHandler(recordXError);
  Display* d = dpy(display_);
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor))
    fail("the X server on " + display + " has no XTEST extension");
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);
}

Connection::~Connection() {
  if (display_) XCloseDisplay(dpy(display_));
}

void Connection::pause(Millis duration) {
  std::this_thread::sleep_for(duration);
}

int Connection::windowsCreatedSinceLastCall() {
  Display* d = dpy(display_);
  XSync(d, False);
  int created = 0;
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    if (event.type == CreateNotify &&
        event.xcreatewindow.parent == DefaultRootWindow(d))
      ++created;
  }
  return created;
}

std::string Connection::title(WindowId window) {
  char* name = nullptr;
  std::string text;
  if (XFetchName(dpy(display_), window, &name) && name) {
    text = name;
    XFree(name);
  }
  return text;
}

std::pair<int, int> Connection::size(WindowId window) {
  XWindowAttributes attributes;
  lastXError = 0;
  if (!XGetWindowAttributes(dpy(display_), window, &attributes) || lastXError)
    fail("cannot read the attributes of window " + std::to_string(window));
  return {attributes.width, attributes.height};
}

Connection::WindowId Connection::waitForWindow(const std::string& titlePrefix,
                                               Millis timeout) {
  Display* d = dpy(display_);
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XSync(d, False);
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children,
                   &count)) {
      std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
      for (unsigned k = 0; k < count; ++k) {
        XWindowAttributes attributes;
        lastXError = 0;
        if (!XGetWindowAttributes(d, children[k], &attributes) || lastXError)
          continue;
        if (attributes.map_state != IsViewable) continue;
        if (title(children[k]).rfind(titlePrefix, 0) == 0) return children[k];
      }
    }
    if (Clock::now() >= deadline)
      fail("no window titled \"" + titlePrefix + "...\" appeared within " +
           std::to_string(timeout.count()) + " ms");
    pause(kPollStep);
  }
}

Pixels Connection::grab(WindowId window) {
  Display* d = dpy(display_);
  const auto [width, height] = size(window);
  lastXError = 0;
  XImage* image =
      XGetImage(d, window, 0, 0, static_cast<unsigned>(width),
                static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image)
    fail("XGetImage failed on window " + std::to_string(window) +
         " (X error " + std::to_string(lastXError) + ")");
  const auto destroy = [](XImage* doomed) { XDestroyImage(doomed); };
  std::unique_ptr<XImage, decltype(destroy)> owned(image, destroy);
  if (image->bits_per_pixel != 32 || image->red_mask != 0xff0000 ||
      image->green_mask != 0x00ff00 || image->blue_mask != 0x0000ff)
    fail("unexpected pixel layout: the server must run at depth 24");

  Pixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.rgb.resize(3 * static_cast<std::size_t>(width) *
                    static_cast<std::size_t>(height));
  unsigned char* out = pixels.rgb.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned long value = XGetPixel(image, x, y);
      *out++ = static_cast<unsigned char>((value >> 16) & 0xff);
      *out++ = static_cast<unsigned char>((value >> 8) & 0xff);
      *out++ = static_cast<unsigned char>(value & 0xff);
    }
  }
  return pixels;
}

void Connection::typeKey(WindowId window, unsigned long keysym) {
  Display* d = dpy(display_);
  const KeyCode code = XKeysymToKeycode(d, keysym);
  if (code == 0) fail("no key code for keysym " + std::to_string(keysym));
  // The unshifted symbol of the key tells whether Shift is needed.
  const bool shifted = XkbKeycodeToKeysym(d, code, 0, 0) != keysym;
  const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);

  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  XTestFakeMotionEvent(d, DefaultScreen(d), x + 1, y + 1, CurrentTime);
  XSetInputFocus(d, window, RevertToPointerRoot, CurrentTime);
  if (shifted) XTestFakeKeyEvent(d, shift, True, CurrentTime);
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  if (shifted) XTestFakeKeyEvent(d, shift, False, CurrentTime);
  XSync(d, False);
}

void Connection::fill(WindowId window, unsigned char red,
                      unsigned char green, unsigned char blue) {
  Display* d = dpy(display_);
  const auto [width, height] = size(window);
  GC gc = XCreateGC(d, window, 0, nullptr);
  XSetForeground(d, gc,
                 (static_cast<unsigned long>(red) << 16) |
                     (static_cast<unsigned long>(green) << 8) | blue);
  XFillRectangle(d, window, gc, 0, 0, static_cast<unsigned>(width),
                 static_cast<unsigned>(height));
  XFreeGC(d, gc);
  XSync(d, False);
}

void Connection::resize(WindowId window, int width, int height) {
  Display* d = dpy(display_);
  XResizeWindow(d, window, static_cast<unsigned>(width),
                static_cast<unsigned>(height));
  XSync(d, False);
  const auto deadline = Clock::now() + Millis(5000);
  while (size(window) != std::make_pair(width, height)) {
    if (Clock::now() >= deadline)
      fail("window did not take the size " + std::to_string(width) + "x" +
           std::to_string(height));
    pause(kPollStep);
  }
}

}  // namespace xtest
