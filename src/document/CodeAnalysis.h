#pragma once

#include <cstdint>
#include <vector>

class CTravikDoc;

// The analysis that runs while a flash file is read: the per-halfword rules as the
// bytes arrive, then the routine headers (defaults only) and the literal pointer pass.
class CodeAnalysis {
  public:
    CodeAnalysis(CTravikDoc& doc, bool defaultsMode);
    // Applies the per-halfword rules to every halfword from `begin` (even) up to
    // `end`; the image bytes up to `end` are in place.
    void AnalyseRange(uint32_t begin, uint32_t end);
    // After the reading pass.
    void MakeRoutineHeaders();
    void FollowLiteralPointers();

  private:
    void AnalyseHalfword(uint32_t o, uint8_t cls);
    bool InRange(int64_t target) const { return target >= 0 && target <= int64_t{imageSize_}; }

    CTravikDoc& doc_;
    const bool defaultsMode_;
    const uint32_t imageSize_;
    const uint32_t halfwordCount_;
    // The halfword each call found so far leads to, once per call.
    std::vector<uint32_t> calledHalfwords_;
    // The PC-relative loads found, in increasing index order.
    std::vector<uint32_t> literalLoads_;
};
