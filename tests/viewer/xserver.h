// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Helpers for tests that drive real programs in a real X server: a private
// Xvfb, child processes with captured output, and a client connection that
// finds windows, reads their pixels back and types keys through XTest.
// Every failure throws std::runtime_error with a message saying what went
// wrong, so a test that needs the server fails loudly instead of skipping.
#ifndef RGB_TESTS_VIEWER_XSERVER_H
#define RGB_TESTS_VIEWER_XSERVER_H

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace xtest {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// A private Xvfb on the first free display number (chosen by the server
// itself through -displayfd), one 24-bit screen, GLX enabled. Stopped and
// reaped by the destructor.
class Xvfb {
 public:
  explicit Xvfb(int screenWidth = 2048, int screenHeight = 1536);
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // The DISPLAY value for clients, e.g. ":3".
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// What a finished child process left behind.
struct Exit {
  bool exited = false;  // false: killed by a signal
  int status = -1;      // exit status, or the signal number
  std::string out;
  std::string err;
};

// A program started with fork/exec: argv[0] is the program path as given,
// DISPLAY is set to `display` (unset when empty), the working directory is
// `workdir` (unchanged when empty), stdin is /dev/null, stdout and stderr go
// to files that wait() reads back; `environment` holds extra NAME=value
// settings. The destructor kills a child still running.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::string& display,
        const std::string& workdir = "",
        const std::vector<std::string>& environment = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // True while the child has not ended (reaps it if it has).
  bool running();
  // Waits up to `timeout` for the child to end; throws if it does not.
  Exit wait(Millis timeout = Millis(20000));
  // Output so far, for diagnostics while the child still runs.
  std::string stdoutSoFar() const;
  std::string stderrSoFar() const;

 private:
  Exit collect(int rawStatus);

  pid_t pid_ = -1;
  bool reaped_ = false;
  int rawStatus_ = 0;
  std::string outPath_;
  std::string errPath_;
  std::string scratch_;
};

// Runs a program to its end (see Child) and returns what it left.
Exit run(const std::vector<std::string>& argv, const std::string& display,
         const std::string& workdir = "", Millis timeout = Millis(20000));

// Pixels read back from a window: rgb holds width * height * 3 bytes, rows
// from the TOP of the window down (X order), red, green, blue per pixel.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  const unsigned char* at(int rowFromTop, int column) const {
    return rgb.data() + 3 * (static_cast<std::size_t>(rowFromTop) *
                                 static_cast<std::size_t>(width) +
                             static_cast<std::size_t>(column));
  }
};

// One client connection to a display. Watches the root window for top-level
// windows being created, so a test can also prove that NO window appeared.
class Connection {
 public:
  explicit Connection(const std::string& display);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  using WindowId = unsigned long;

  // Waits until a viewable top-level window whose title starts with
  // `titlePrefix` exists; throws after `timeout`.
  WindowId waitForWindow(const std::string& titlePrefix,
                         Millis timeout = Millis(20000));
  // Top-level windows created on the root since this connection opened or
  // since the last call (CreateNotify events, counted).
  int windowsCreatedSinceLastCall();

  std::string title(WindowId window);
  // Inner size of the window.
  std::pair<int, int> size(WindowId window);
  Pixels grab(WindowId window);
  // Polls the window until `accept` returns true for its pixels or the
  // timeout passes; returns the last pixels read either way.
  template <typename Predicate>
  Pixels grabUntil(WindowId window, Predicate accept,
                   Millis timeout = Millis(10000)) {
    const auto deadline = Clock::now() + timeout;
    Pixels pixels = grab(window);
    while (!accept(pixels) && Clock::now() < deadline) {
      pause(Millis(20));
      pixels = grab(window);
    }
    return pixels;
  }

  // Presses and releases the key for `keysym` (an X keysym, e.g. 'q' or
  // 0xff1b for Escape; upper-case letters are typed with Shift) with the
  // pointer and the input focus on the window, through XTest.
  void typeKey(WindowId window, unsigned long keysym);
  // Paints the whole window in one colour from this client, as damage that
  // only a redraw by the window's owner repairs.
  void fill(WindowId window, unsigned char red, unsigned char green,
            unsigned char blue);
  // Resizes the window and waits until the server reports the new size.
  void resize(WindowId window, int width, int height);

  static void pause(Millis duration);

 private:
  void* display_ = nullptr;  // Display*, kept opaque to spare users Xlib.h
};

// Escape's keysym.
constexpr unsigned long kEscape = 0xff1b;

}  // namespace xtest

#endif  // RGB_TESTS_VIEWER_XSERVER_H
