#pragma once

#include <string>
#include <string_view>

class CTravikDoc;

inline constexpr const char* kInfoFileFilter =
    "Disassembler Info Files (*.ifo)|*.ifo|All Files (*.*)|*.*||";

enum class MergeOutcome {
    kMerged,      // read to its end; the finish step ran
    kCancelled,   // the chooser was cancelled: nothing happened
    kCannotOpen,  // the file could not be read: said so, and the finish step ran
    kWrongSize,   // the file belongs to another image: nothing changed
    kCorrupted,   // damaged: the texts before the damage were merged, flag bytes untouched
    kTooLarge,    // the result would be larger than an info file may be: nothing changed
};

// Whether the merge ended with the finish step, after which every view of the document
// goes to offset 0.
inline bool MergeFinished(MergeOutcome outcome) {
    return outcome == MergeOutcome::kMerged || outcome == MergeOutcome::kCannotOpen;
}

// Merges the annotations of another info file of the same image: texts the document
// lacks are taken, marked texts of the other file win over unmarked ones here, and two
// marked texts that differ are put to the user as a Yes/No question. Then halfwords
// marked only in the other file take its flag byte. Messages and questions go to the
// document's frame.
MergeOutcome MergeInfoBytes(CTravikDoc& doc, std::string_view file, const std::string& path);

// The same for a file on the disk, read bounded by what an info file of this image
// can hold, with the status texts and the finish step.
MergeOutcome MergeInfoFile(CTravikDoc& doc, const std::string& path);

// The Merge command: asks for the file first.
MergeOutcome Merge(CTravikDoc& doc);

// Takes the user mark off halfwords whose marked texts are only the routine headers
// ("Routine...") and footers ("end routine...") that the analysis made, so they leave
// the jump list and no longer win in a merge.
void FixInfoFile(CTravikDoc& doc);
