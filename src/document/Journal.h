#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/EditStep.h"

// NAME.jnl beside the info file: every step made since the last save, written as it is
// made, so that a crash loses none of them. A first line names the format and the flash
// image it belongs to (its size and checksum); then one record per step: its length and
// checksum (4 + 8 bytes, little-endian) and the step's bytes (EncodeStep).
namespace journal {

// The first line for an image.
std::string Header(const uint8_t* image, uint32_t size);
// One step's record.
std::string Record(const EditStep& step);

struct Contents {
    enum Kind {
        kSteps,       // the file's steps (maybe none) for this image
        kOtherImage,  // a journal of another flash image: never replayed
        kUnreadable,  // not a journal of ours at all
    } kind = kSteps;
    std::vector<EditStep> steps;  // every whole record, in order
    uint64_t goodBytes = 0;       // the header and the whole records
    uint64_t droppedBytes = 0;    // a damaged tail after them (a crash mid-write)
};
// Reads a journal's bytes for the image with this header.
Contents Read(std::string_view bytes, std::string_view header);

}  // namespace journal
