#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A synthetic flash image of valid THUMB code: routines that push and pop, ALU work,
// loads and stores, short conditional and unconditional branches, BL calls between
// routines, and a literal pool after each routine with pointers into the flash and the
// RAM. Deterministic for a seed.
std::vector<uint8_t> MakeThumbImage(size_t bytes, uint32_t seed);

// An info file for an image of `imageSize` bytes: every item THUMB with the user mark,
// and `perKind` notes, headers, footers and explanations spread over the image.
std::string InfoFileWithTexts(uint32_t imageSize, uint32_t perKind);

// Writes the bytes to a file in a fresh temporary folder; returns its path.
std::string WriteBenchImage(const std::vector<uint8_t>& bytes, const std::string& name);

// Processor time of this thread in seconds: the machine is shared, so wall time would
// count the other processes too.
double CpuNow();

// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> ReadBenchFile(const std::string& path);

// The demo firmware of this build (TRAVIK_DEMO_FLS overrides it):
// build/<preset>/bench/X -> build/<preset>/samples/demo/demo.fls
std::string DemoFirmwarePath();
