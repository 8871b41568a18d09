// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "errors.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "toolkit/frame.h"

namespace rgbstream {
namespace {

// The Python class, created once by registerErrors; the module keeps it
// alive for the life of the interpreter.
PyObject* errorClass = nullptr;

void setStreamError(const StreamError& error) {
  py::object instance = py::reinterpret_borrow<py::object>(errorClass)(error.what());
  instance.attr("frame") = error.frame() >= 0 ? py::object(py::int_(error.frame())) : py::none();
  instance.attr("status") = error.status();
  PyErr_SetObject(errorClass, instance.ptr());
}

[[noreturn]] void raiseOSError(int savedErrno, const std::string& path, const std::string& words) {
  const int code = savedErrno != 0 ? savedErrno : EIO;
  std::string reason = std::strerror(code);
  if (!words.empty()) reason += " (" + words + ")";
  // OSError's constructor picks the subclass for the errno
  // (FileNotFoundError, PermissionError, ...).
  PyObject* error = PyObject_CallFunction(PyExc_OSError, "isO", code, reason.c_str(),
                                          displayPath(path).ptr());
  if (error) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error)), error);
    Py_DECREF(error);
  }
  throw py::error_already_set();
}

}  // namespace

void registerErrors(py::module_& module) {
  static py::exception<StreamError> error(module, "Error", PyExc_ValueError);
  errorClass = error.ptr();
  error.attr("frame") = py::none();
  error.attr("status") = py::none();
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const StreamError& caught) {
      setStreamError(caught);
    }
  });
}

py::str displayPath(const std::string& path) {
  return py::reinterpret_steal<py::str>(
      PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
}

bool isDamage(int status) {
  switch (status) {
    case RGB_EMAGIC:
    case RGB_ESTORAGE:
    case RGB_EBPC:
    case RGB_EDIMENSION:
    case RGB_EPLANES:
    case RGB_ESHORTHEADER:
    case RGB_ETRUNCATED:
    case RGB_ESIZECHANGE: return true;
    default: return false;
  }
}

std::string readerMessage(const rgb_reader* reader, int status) {
  return reader && isDamage(status) ? std::string(rgb_reader_message(reader)) : std::string();
}

std::string failureWords(const std::string& message, int status, int64_t frame) {
  if (status == RGB_EIO || status == RGB_EOPEN)
    return frame >= 0 ? "frame " + std::to_string(frame) : std::string();
  if (frame < 0) return message.empty() ? std::string(rgb_strerror(status)) : message;
  return toolkit::frameFailure(frame, message, status, 0);
}

void raise(int status, int savedErrno, const std::string& path, const std::string& words,
           int64_t frame) {
  const std::string text = std::string(displayPath(path)) + ": " + words;
  switch (status) {
    case RGB_EOPEN:
    case RGB_EIO: raiseOSError(savedErrno, path, words);
    case RGB_ENOMEM: throw std::bad_alloc();
    case RGB_EUNSEEKABLE: throw py::type_error(text);
    case RGB_ERANGE: throw py::index_error(text);
    case RGB_EINVAL: throw py::value_error(text);
    default: throw StreamError(text, frame, status);
  }
}

}  // namespace rgbstream
