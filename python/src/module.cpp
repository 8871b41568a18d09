// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// _rgbstream: the compiled half of the rgbstream package. It owns the
// library's handles and moves pixels between streams and numpy arrays;
// argument checking, warnings and the Pythonic surface live in the package's
// Python modules.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "errors.h"
#include "reader.h"
#include "rgb/rgb.h"
#include "timeline.h"
#include "writer.h"

namespace py = pybind11;
using rgbstream::Reader;
using rgbstream::Timeline;
using rgbstream::Writer;

PYBIND11_MODULE(_rgbstream, m) {
  m.doc() = "Compiled core of rgbstream; use the rgbstream package instead.";
  rgbstream::registerErrors(m);
  m.attr("END") = static_cast<int>(RGB_END);
  m.def("library_version", &rgb_version);
  m.def("get_time", &get_time, "The library's clock: milliseconds within 10,000 seconds.");

  py::class_<Reader>(m, "Reader")
      .def(py::init([](const py::bytes& path) { return new Reader(std::string(path)); }))
      .def("close", &Reader::close)
      .def_property_readonly("closed", &Reader::closed)
      .def_property_readonly("seekable", &Reader::seekable)
      .def("info", &Reader::info)
      .def("count", &Reader::count)
      .def("stamps", &Reader::stamps)
      .def("frame", &Reader::frame)
      .def("next", &Reader::next)
      .def("read_frames", &Reader::readFrames)
      .def("planar_layout", &Reader::planarLayout);

  py::class_<Writer>(m, "Writer")
      .def(py::init([](const py::bytes& path) { return new Writer(std::string(path)); }))
      .def("put", &Writer::put)
      .def("close", &Writer::close)
      .def_property_readonly("closed", &Writer::closed);

  py::class_<Timeline>(m, "Timeline")
      .def(py::init<>())
      .def("extend", &Timeline::extend)
      .def("__len__", &Timeline::frames)
      .def("times", &Timeline::times)
      .def("at", &Timeline::at)
      .def("between", &Timeline::between);
}
