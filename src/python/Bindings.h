#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "python/ScriptFrame.h"

namespace py = pybind11;

using DocumentPtr = std::shared_ptr<ScriptDocument>;

// The parts of the module, each in its own file.
void BindDocument(py::module_& m);
void BindLines(py::module_& m, py::class_<ScriptDocument, DocumentPtr>& document);
void BindSession(py::module_& m);

// The texts of the image and the info file are bytes shown as Latin-1.
py::str Latin1(std::string_view text);
// A str as those bytes; ValueError for a character past U+00FF.
std::string FromLatin1(const py::str& text);

// Raises OSError (its errno subclass when `error` is set) for `path`.
[[noreturn]] void RaiseOsError(int error, const std::string& message, const std::string& path);
// warnings.warn(message); an error when warnings are made errors.
void Warn(const std::string& message);
// The messages the document showed since the last call, joined in one line each.
std::string JoinedMessages(ScriptDocument& d);

// An image offset inside the image; IndexError otherwise.
uint32_t CheckedOffset(const CTravikDoc& doc, int64_t offset, const char* what = "offset");
