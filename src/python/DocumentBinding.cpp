// travik.Document: a flash file opened as the window opens it, its annotations read and
// changed through the document's edits (undoable and journaled), search, references
// and export.
#include <fcntl.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "document/DocEdit.h"
#include "listing/Export.h"
#include "listing/References.h"
#include "listing/Search.h"
#include "python/Bindings.h"
#include "shell/Format.h"

namespace {

struct TypeName {
    uint8_t type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {itemtype::kArm, "arm"},       {itemtype::kThumb, "thumb"}, {itemtype::kData2, "data2"},
    {itemtype::kData4, "data4"},   {itemtype::kData8, "data8"}, {itemtype::kData12, "data12"},
    {itemtype::kData16, "data16"},
};

py::str TypeNameOf(uint8_t flags) {
    for (const TypeName& t : kTypeNames) {
        if (t.type == (flags & flagbits::kTypeMask)) return py::str(t.name);
    }
    return py::str("data2");  // an unknown type shows as two-byte data
}

uint8_t TypeFromName(const std::string& name) {
    for (const TypeName& t : kTypeNames) {
        if (name == t.name) return t.type;
    }
    throw py::value_error("unknown item type '" + name +
                          "': arm, thumb, data2, data4, data8, data12 or data16");
}

// The phone address of a stack RAM byte as its index; IndexError outside the RAM.
uint32_t RamIndex(const CTravikDoc& doc, int64_t address, uint64_t length = 1) {
    const int64_t index = address - int64_t{doc.RamBase()};
    if (index < 0 || length == 0 || uint64_t(index) + length > doc.RamSize())
        throw py::index_error("not a stack RAM range: " + std::to_string(length) +
                              " bytes at address " + std::to_string(address));
    return static_cast<uint32_t>(index);
}

const char* KindLabel(DocEdit::TextKind kind) {
    switch (kind) {
        case DocEdit::TextKind::kHeader:
            return "Header";
        case DocEdit::TextKind::kFooter:
            return "Footer";
        case DocEdit::TextKind::kExplanation:
            return "Explanation";
        default:
            return "Note";
    }
}

// Applies one edit as one undoable step; a refused one (nothing to change) is no step.
void ApplyStep(CTravikDoc& doc, const DocEdit& edit, std::string label, uint32_t focus) {
    if (edit.parts.empty()) return;
    doc.Apply(edit, std::move(label), focus);
}

std::optional<py::str> TextAt(ScriptDocument& d, DocEdit::TextKind kind, int64_t offset) {
    CTravikDoc& doc = d.Doc();
    const uint32_t o = CheckedOffset(doc, offset);
    if (const std::string* text = doc.Texts(kind).Find(o / 2)) return Latin1(*text);
    return std::nullopt;
}

void SetTextAt(ScriptDocument& d, DocEdit::TextKind kind, int64_t offset, const py::str& text) {
    CTravikDoc& doc = d.Doc();
    const uint32_t o = CheckedOffset(doc, offset) & ~1u;
    const std::string bytes = FromLatin1(text);
    if (bytes.find('\0') != std::string::npos) throw py::value_error("a text cannot hold NUL");
    ApplyStep(doc, TextEdit(doc, kind, o, bytes, true), StepLabel(doc, KindLabel(kind), o), o);
}

DocumentPtr Open(const std::string& path, bool recover) {
    auto d = std::make_shared<ScriptDocument>();
    d->frame.answer = recover;
    d->doc = std::make_unique<CTravikDoc>(d->frame);
    d->frame.document = d->doc.get();
    bool opened;
    {
        py::gil_scoped_release release;
        opened = d->doc->OnOpenDocument(path);
    }
    d->frame.answer = false;
    std::string messages = JoinedMessages(*d);
    if (!opened) {
        if (!messages.empty()) RaiseOsError(0, messages, path);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int error = fd < 0 ? errno : 0;
        if (fd >= 0) ::close(fd);
        RaiseOsError(error, error != 0 ? std::strerror(error) : "not a regular file", path);
    }
    switch (d->doc->GetInfoState()) {
        case CTravikDoc::InfoState::kUnreadable:
            // Going on would hide the user's annotations behind defaults.
            RaiseOsError(0, d->doc->InfoProblem(), path);
        case CTravikDoc::InfoState::kRamNamesDamaged:
            Warn(d->doc->InfoProblem());
            break;
        default:
            break;
    }
    if (!messages.empty()) Warn(messages);
    return d;
}

py::object SearchImage(ScriptDocument& d, const std::string& pattern, int mode, int64_t start,
                       bool all) {
    CTravikDoc& doc = d.Doc();
    if (pattern.empty()) throw py::value_error("the pattern is empty");
    if (mode < kSearchHex || mode > kSearchTextCase)
        throw py::value_error(
            "mode is 1 (hex bytes), 2 (hex digits), 3 (text) or 4 (text with case)");
    if ((mode == kSearchHex || mode == kSearchHexUnaligned) && !IsHexPattern(pattern))
        throw py::value_error("modes 1 and 2 take hex digits and ? wildcards only");
    const uint32_t from = CheckedOffset(doc, start, "start");
    std::vector<uint32_t> found;
    int32_t one = -1;
    {
        ScriptDocument::Busy busy(d);
        py::gil_scoped_release release;
        if (all)
            found = SearchAll(doc, pattern, mode);
        else
            one = ::Search(doc, pattern, from, mode);
    }
    // A refused pattern (odd digits, wildcards only) was shown as a message.
    if (std::string refusal = JoinedMessages(d); !refusal.empty()) throw py::value_error(refusal);
    if (all) return py::cast(found);
    if (one < 0) return py::none();
    return py::int_(one);
}

}  // namespace

void BindDocument(py::module_& m) {
    using Kind = DocEdit::TextKind;
    py::class_<ScriptDocument, DocumentPtr> c(m, "Document", R"doc(
A flash image opened with its info file, as the window opens it: the same analysis, the
same annotations. Every change goes through the document's edits, so undo() takes it
back and the journal beside the info file keeps it until save().

Offsets are image offsets (0 .. size - 1); an annotation belongs to the item holding
the offset. Texts are str of characters U+0000..U+00FF (the info file keeps bytes).
)doc");
    c.def_static("open", &Open, py::arg("path"), py::arg("recover") = false, R"doc(
Opens the flash file at `path` with its info file (or the defaults when there is none).
Changes the journal beside it kept after the last save (the window was not closed
properly) are replayed with recover=True; otherwise the journal is kept as NAME.jnl.old,
as answering No in the window does, with a warning.

Raises OSError when the file cannot be read or its info file is there but unreadable;
warns (warnings.warn) when the info file was damaged but opened, and for any other
message the open showed.
)doc");
    c.def(
        "close", [](ScriptDocument& d) { d.doc.reset(); },
        "Closes the document without saving; later calls raise RuntimeError.");
    c.def("__enter__", [](DocumentPtr d) { return d; });
    c.def("__exit__", [](ScriptDocument& d, py::args) { d.doc.reset(); });
    c.def_property_readonly(
        "path", [](ScriptDocument& d) { return d.Doc().GetPathName(); },
        "The flash file's path as opened.");
    c.def_property_readonly(
        "size", [](ScriptDocument& d) { return d.Doc().ImageSize(); },
        "The image's size in bytes.");
    c.def_property_readonly(
        "image",
        [](ScriptDocument& d) {
            const CTravikDoc& doc = d.Doc();
            return py::bytes(reinterpret_cast<const char*>(doc.Image()), doc.ImageSize());
        },
        "The image's bytes (a copy: the flash file is never changed).");
    c.def_property_readonly(
        "modified", [](ScriptDocument& d) { return d.Doc().IsModified(); },
        "True when there are changes that save() has not written.");

    // --- items ------------------------------------------------------------------------
    c.def(
        "item_start",
        [](ScriptDocument& d, int64_t offset) {
            CTravikDoc& doc = d.Doc();
            return doc.ItemStart(CheckedOffset(doc, offset));
        },
        py::arg("offset"), "The offset of the item that holds `offset`.");
    c.def(
        "item_type",
        [](ScriptDocument& d, int64_t offset) {
            CTravikDoc& doc = d.Doc();
            return TypeNameOf(doc.Flags()[doc.ItemStart(CheckedOffset(doc, offset)) / 2]);
        },
        py::arg("offset"),
        "The type of the item at `offset`: 'thumb', 'arm', 'data2', 'data4', 'data8',\n"
        "'data12' or 'data16'.");
    c.def(
        "set_item_type",
        [](ScriptDocument& d, int64_t offset, const std::string& type) {
            CTravikDoc& doc = d.Doc();
            const uint32_t o = CheckedOffset(doc, offset) & ~1u;
            const uint8_t t = TypeFromName(type);
            ApplyStep(doc, ItemTypeEdit(doc, o, t, true), StepLabel(doc, type.c_str(), o), o);
        },
        py::arg("offset"), py::arg("type"),
        "Makes the halfword at `offset` start an item of `type` (see item_type), as the\n"
        "listing's keys do.");
    c.def(
        "items",
        [](ScriptDocument& d, int64_t start, std::optional<int64_t> end) {
            CTravikDoc& doc = d.Doc();
            const uint32_t from = doc.ItemStart(CheckedOffset(doc, start, "start"));
            const uint32_t to = end ? CheckedOffset(doc, *end, "end") : doc.ImageSize() - 1;
            py::list out;
            for (uint32_t o = from; o <= to && o / 2 < doc.HalfwordCount();
                 o = doc.NextItemStart(o + 2))
                out.append(py::make_tuple(o, TypeNameOf(doc.Flags()[o / 2])));
            return out;
        },
        py::arg("start") = 0, py::arg("end") = py::none(),
        "The items from the one holding `start` up to the one holding `end` (default: the\n"
        "last) as (offset, type) tuples.");

    // --- texts --------------------------------------------------------------------------
    struct TextAccessor {
        const char* get;
        const char* set;
        Kind kind;
    };
    for (const TextAccessor& t :
         {TextAccessor{"header", "set_header", Kind::kHeader},
          TextAccessor{"note", "set_note", Kind::kNote},
          TextAccessor{"footer", "set_footer", Kind::kFooter},
          TextAccessor{"explanation", "set_explanation", Kind::kExplanation}}) {
        const Kind kind = t.kind;
        c.def(
            t.get, [kind](ScriptDocument& d, int64_t offset) { return TextAt(d, kind, offset); },
            py::arg("offset"),
            (std::string("The ") + t.get + " of the item at `offset`, or None.").c_str());
        c.def(
            t.set,
            [kind](ScriptDocument& d, int64_t offset, const py::str& text) {
                SetTextAt(d, kind, offset, text);
            },
            py::arg("offset"), py::arg("text"),
            (std::string("Sets the ") + t.get +
             " of the item at `offset` (with the user mark); '' removes it. One undoable step.")
                .c_str());
    }

    // --- stack RAM: names and bytes ---------------------------------------------------------
    c.def_property_readonly(
        "ram_base", [](ScriptDocument& d) { return d.Doc().RamBase(); },
        "The phone address of the stack RAM's first byte.");
    c.def_property_readonly(
        "ram_size", [](ScriptDocument& d) { return d.Doc().RamSize(); },
        "The stack RAM's size in bytes.");
    c.def(
        "ram_name",
        [](ScriptDocument& d, int64_t address) -> std::optional<py::str> {
            CTravikDoc& doc = d.Doc();
            const std::string* name = doc.RamNames().Find(RamIndex(doc, address));
            if (name == nullptr) return std::nullopt;
            return Latin1(*name);
        },
        py::arg("address"), "The name given to the RAM byte at phone `address`, or None.");
    c.def(
        "set_ram_name",
        [](ScriptDocument& d, int64_t address, const py::str& name, uint32_t length) {
            CTravikDoc& doc = d.Doc();
            const uint32_t first = RamIndex(doc, address, length);
            ApplyStep(doc, RamNameEdit(doc, first, first + length - 1, FromLatin1(name)),
                      Format("RAM name at %08X", doc.RamBase() + first), EditStep::kNoFocus);
        },
        py::arg("address"), py::arg("name"), py::arg("length") = 1,
        "Names the `length` RAM bytes from phone `address` on; '' removes the name.");
    c.def(
        "ram_bytes",
        [](ScriptDocument& d, int64_t address, uint32_t length) {
            CTravikDoc& doc = d.Doc();
            const uint32_t first = RamIndex(doc, address, length);
            return py::bytes(reinterpret_cast<const char*>(doc.RamBytes() + first), length);
        },
        py::arg("address"), py::arg("length"),
        "The stack RAM's bytes (the emulator's RAM) from phone `address` on.");
    c.def(
        "set_ram_bytes",
        [](ScriptDocument& d, int64_t address, const py::bytes& data) {
            CTravikDoc& doc = d.Doc();
            const std::string bytes = data;
            const uint32_t first = RamIndex(doc, address, bytes.size());
            DocEdit edit;
            edit.parts.emplace_back(DocEdit::RamBytes{first, {bytes.begin(), bytes.end()}});
            edit.after = DocEdit::kRepaintMemory;
            ApplyStep(doc, edit, Format("RAM bytes at %08X", doc.RamBase() + first),
                      EditStep::kNoFocus);
        },
        py::arg("address"), py::arg("data"),
        "Stores `data` in the stack RAM from phone `address` on, as typing in the memory\n"
        "window does (one undoable step).");

    // --- steps and saving -----------------------------------------------------------------------
    c.def(
        "undo", [](ScriptDocument& d) { return d.Doc().Undo().has_value(); },
        "Takes back the newest step (an edit of this document's, or the window's from its\n"
        "journal); False when there was none.");
    c.def(
        "redo", [](ScriptDocument& d) { return d.Doc().Redo().has_value(); },
        "Makes the newest step taken back again; False when there was none.");
    c.def(
        "save",
        [](ScriptDocument& d) {
            CTravikDoc& doc = d.Doc();
            if (!doc.OnSaveDocument(doc.GetPathName()))
                RaiseOsError(0, JoinedMessages(d), doc.GetPathName());
            if (std::string notes = JoinedMessages(d); !notes.empty()) Warn(notes);
        },
        "Writes the info file beside the flash file (never the flash file). OSError on failure.");

    // --- search, references, export --------------------------------------------------------------
    c.def("search", &SearchImage, py::arg("pattern"), py::arg("mode") = 1, py::arg("start") = 0,
          py::arg("all") = false, R"doc(
Searches as Find does: from `start` to the end, then from the beginning. Modes: 1 hex
bytes, 2 hex digits at any digit (? stands for any digit in both), 3 the item lines'
text ignoring case, 4 with case. Returns the offset of the item with the match or None;
with all=True, every such item's offset in ascending order. ValueError for a pattern the
mode cannot take.
)doc");
    c.def(
        "refs",
        [](ScriptDocument& d, int64_t offset) {
            CTravikDoc& doc = d.Doc();
            py::list out;
            for (const Reference& r : ReferencesTo(doc, doc.ItemStart(CheckedOffset(doc, offset))))
                out.append(py::make_tuple(r.offset, ReferenceKindName(r.kind)));
            return out;
        },
        py::arg("offset"),
        "What refers to the item at `offset`: (offset, kind) tuples in address order, kind\n"
        "'call', 'branch', 'load' or 'pointer'.");
    c.def(
        "export",
        [](ScriptDocument& d, int64_t start, int64_t end, const std::string& path) {
            CTravikDoc& doc = d.Doc();
            const uint32_t from = CheckedOffset(doc, start, "start") & ~1u;
            const uint32_t to = CheckedOffset(doc, end, "end");
            if (from > to) throw py::value_error("start lies after end");
            int error = 0;
            switch (ExportRange(doc, from, to, path, &error)) {
                case ExportResult::kOk:
                    return;
                case ExportResult::kRefused:
                    throw py::value_error(doc.OutputRefusal(path));
                case ExportResult::kEmptyRange:
                    throw py::value_error("the range holds no item");
                default:
                    RaiseOsError(error, std::strerror(error), path);
            }
        },
        py::arg("start"), py::arg("end"), py::arg("path"),
        "Writes the listing from `start` through the item at `end` to `path` as the export\n"
        "does (CR LF line ends; the file is replaced only by a complete export).");
    BindLines(m, c);
}
