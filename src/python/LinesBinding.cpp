// Document.lines(): the listing lines of a range as a lazy sequence. The positions of
// the lines are found at the call (a quick walk of the flag bytes); each line's text is
// composed when Python takes it, so a whole 16 MiB image costs 5 bytes a line until
// then. The items are plain tuples made with the C API: a loop over millions of lines
// spends its time in the listing's own formatting.
#include <pybind11/stl.h>

#include <optional>
#include <vector>

#include "listing/LineText.h"
#include "listing/TextFormat.h"
#include "python/Bindings.h"

namespace {

// What kind of line a position is: the separators, the end, or the item's type.
class LineKinds {
  public:
    LineKinds() {
        header_ = Intern("header");
        footer_ = Intern("footer");
        end_ = Intern("end");
        for (auto& k : types_) k = Intern("data2");
        types_[itemtype::kArm] = Intern("arm");
        types_[itemtype::kThumb] = Intern("thumb");
        types_[itemtype::kData4] = Intern("data4");
        types_[itemtype::kData8] = Intern("data8");
        types_[itemtype::kData12] = Intern("data12");
        types_[itemtype::kData16] = Intern("data16");
    }
    // A new reference.
    PyObject* Of(const CTravikDoc& doc, uint32_t offset, int subLine) const {
        PyObject* k = subLine == -1  ? header_
                      : subLine == 1 ? footer_
                      : subLine == 2 ? end_
                                     : types_[doc.Flags()[offset / 2] & flagbits::kTypeMask];
        Py_INCREF(k);
        return k;
    }

  private:
    static PyObject* Intern(const char* name) { return PyUnicode_InternFromString(name); }
    PyObject* header_;
    PyObject* footer_;
    PyObject* end_;
    PyObject* types_[16];
};

class Lines {
  public:
    Lines(DocumentPtr d, uint32_t start, uint32_t end) : d_(std::move(d)) {
        const CTravikDoc& doc = d_->Doc();
        if (start / 2 >= doc.HalfwordCount()) return;
        int64_t o = start;
        int s = doc.FirstSubLine(start);
        while (o <= int64_t{end}) {
            offsets_.push_back(static_cast<uint32_t>(o));
            subLines_.push_back(static_cast<int8_t>(s));
            if (s == 2) break;
            o = doc.NextLine(o, s);
        }
    }
    size_t Size() const { return offsets_.size(); }

    // (offset, kind, text, annotation or None) of line i; a new reference, or null with
    // the Python error set.
    PyObject* Line(size_t i) {
        static const LineKinds kinds;
        const CTravikDoc& doc = d_->Doc();
        const uint32_t offset = offsets_[i];
        const int s = subLines_[i];
        // An edit of the item types since may have made this halfword part of a longer
        // item, which the formatter would read past.
        if (s != 2 && doc.ItemStart(offset) != offset) {
            PyErr_SetString(PyExc_RuntimeError, "the items changed since lines(): call it again");
            return nullptr;
        }
        GetLineText(doc, offset, s, buffer_);
        const AnnotationTable* table = s == -1  ? &doc.Headers()
                                       : s == 0 ? &doc.Notes()
                                       : s == 1 ? &doc.Footers()
                                                : nullptr;
        const std::string* note = table != nullptr ? table->Find(offset / 2) : nullptr;
        PyObject* t = PyTuple_New(4);
        PyTuple_SET_ITEM(t, 0, PyLong_FromUnsignedLong(offset));
        PyTuple_SET_ITEM(t, 1, kinds.Of(doc, offset, s));
        PyTuple_SET_ITEM(t, 2, PyUnicode_DecodeLatin1(buffer_.Data(), buffer_.Size(), nullptr));
        if (note != nullptr) {
            PyTuple_SET_ITEM(t, 3, PyUnicode_DecodeLatin1(note->data(), note->size(), nullptr));
        } else {
            Py_INCREF(Py_None);
            PyTuple_SET_ITEM(t, 3, Py_None);
        }
        return t;
    }
    py::object Item(int64_t i) {
        if (i < 0) i += static_cast<int64_t>(Size());
        if (i < 0 || uint64_t(i) >= Size()) throw py::index_error("line index out of range");
        PyObject* line = Line(static_cast<size_t>(i));
        if (line == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(line);
    }

  private:
    DocumentPtr d_;
    std::vector<uint32_t> offsets_;
    std::vector<int8_t> subLines_;
    LineBuffer buffer_;
};

// Iterates a Lines without pybind11's call machinery per line.
struct LinesIterator {
    PyObject_HEAD PyObject* owner;  // the Python Lines object
    Lines* lines;
    size_t next;
};

void IteratorDealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Py_XDECREF(reinterpret_cast<LinesIterator*>(self)->owner);
    PyObject_Free(self);
    Py_DECREF(type);  // instances of a heap type hold it
}

PyObject* IteratorNext(PyObject* self) {
    auto* it = reinterpret_cast<LinesIterator*>(self);
    if (it->next >= it->lines->Size()) return nullptr;
    try {
        return it->lines->Line(it->next++);
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
        return nullptr;
    }
}

PyTypeObject* IteratorType() {
    static PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void*>(IteratorDealloc)},
        {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
        {Py_tp_iternext, reinterpret_cast<void*>(IteratorNext)},
        {0, nullptr},
    };
    static PyType_Spec iteratorType = {"travik.LinesIterator", sizeof(LinesIterator), 0,
                                       Py_TPFLAGS_DEFAULT, slots};
    static PyObject* type = PyType_FromSpec(&iteratorType);
    if (type == nullptr) throw py::error_already_set();
    return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace

void BindLines(py::module_& m, py::class_<ScriptDocument, DocumentPtr>& document) {
    py::class_<Lines>(m, "Lines", R"doc(
The listing lines of a range, as Document.lines() returns them: a sequence of
(offset, kind, text, annotation) tuples. kind is 'header' (the separator above a
routine), 'footer' (the one below), 'end' ("End of File"), or the item's type ('thumb',
'arm', 'data2' ...). text is the line as the listing shows it; annotation the header,
note or footer shown beside it, or None. The positions are those at the call; the texts
are made as the lines are read.
)doc")
        .def("__len__", &Lines::Size)
        .def("__getitem__", &Lines::Item, py::arg("index"))
        .def("__iter__", [](py::object self) {
            auto* it = PyObject_New(LinesIterator, IteratorType());
            if (it == nullptr) throw py::error_already_set();
            it->owner = self.inc_ref().ptr();
            it->lines = &self.cast<Lines&>();
            it->next = 0;
            return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject*>(it));
        });
    document.def(
        "lines",
        [](DocumentPtr d, int64_t start, std::optional<int64_t> end) {
            const CTravikDoc& doc = d->Doc();
            const uint32_t from = CheckedOffset(doc, start, "start") & ~1u;
            const uint32_t to = end ? CheckedOffset(doc, *end, "end") : doc.ImageSize() - 1;
            if (from > to) throw py::value_error("start lies after end");
            return Lines(d, from, to);
        },
        py::arg("start") = 0, py::arg("end") = py::none(),
        "The listing lines from the item at `start` through those of the item at `end`\n"
        "(default: to the end of the file) as a Lines sequence.");
}
