// The Python module `travik`: the program's core for scripts.
#include <string>

#include "python/Bindings.h"

py::str Latin1(std::string_view text) {
    PyObject* s =
        PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    if (s == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

std::string FromLatin1(const py::str& text) {
    PyObject* bytes = PyUnicode_AsLatin1String(text.ptr());
    if (bytes == nullptr) {
        PyErr_Clear();
        throw py::value_error("the text holds a character past U+00FF");
    }
    std::string out(PyBytes_AS_STRING(bytes), static_cast<size_t>(PyBytes_GET_SIZE(bytes)));
    Py_DECREF(bytes);
    return out;
}

void RaiseOsError(int error, const std::string& message, const std::string& path) {
    PyObject* e =
        error != 0
            ? PyObject_CallFunction(PyExc_OSError, "iss", error, message.c_str(), path.c_str())
            : PyObject_CallFunction(PyExc_OSError, "s", (path + ": " + message).c_str());
    if (e == nullptr) throw py::error_already_set();
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(e)), e);
    Py_DECREF(e);
    throw py::error_already_set();
}

void Warn(const std::string& message) {
    if (PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 2) != 0) throw py::error_already_set();
}

std::string JoinedMessages(ScriptDocument& d) {
    std::string joined;
    for (std::string& m : d.frame.TakeMessages()) {
        for (char& c : m) {
            if (c == '\n') c = ' ';
        }
        if (!joined.empty()) joined += '\n';
        joined += m;
    }
    return joined;
}

uint32_t CheckedOffset(const CTravikDoc& doc, int64_t offset, const char* what) {
    if (offset < 0 || offset >= int64_t{doc.ImageSize()})
        throw py::index_error(std::string(what) + " " + std::to_string(offset) +
                              " lies outside the image (0.." + std::to_string(doc.ImageSize()) +
                              ")");
    return static_cast<uint32_t>(offset);
}

PYBIND11_MODULE(travik, m) {
    m.doc() = R"doc(
Travik's core for scripts: open a flash image with its info file, read the listing,
change the annotations (each change undoable and journaled, as in the window), search,
follow references, export, and run the image in the emulator.

    import travik
    doc = travik.Document.open("phone.fls")
    for offset, kind, text, note in doc.lines(0, 0x40):
        print(f"{offset:06x} {kind:8} {text}")
    doc.set_header(0x1000, "init_lcd")
    doc.save()

    s = travik.Session(doc)
    s.start(0)
    s.add_breakpoint(0x200000 + 0x1000)
    print(s.run(), s.registers["PC"])

Offsets of the image count from 0; the emulator's addresses are phone addresses (the
flash at 0x200000, the stack RAM at 0x100000).
)doc";
    m.attr("FLASH_BASE") = CEmulator::kFlashBase;
    m.attr("RAM_BASE") = CEmulator::kStackBase;
    m.attr("SEARCH_HEX") = 1;
    m.attr("SEARCH_HEX_DIGITS") = 2;
    m.attr("SEARCH_TEXT") = 3;
    m.attr("SEARCH_TEXT_CASE") = 4;
    BindDocument(m);
    BindSession(m);
}
