#include "BenchImage.h"

#include "document/Flags.h"

#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace {

class Writer {
  public:
    explicit Writer(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Half(size_t offset, uint16_t v) {
        bytes_[offset] = static_cast<uint8_t>(v >> 8);
        bytes_[offset + 1] = static_cast<uint8_t>(v);
    }
    void Word(size_t offset, uint32_t v) {
        Half(offset, static_cast<uint16_t>(v >> 16));
        Half(offset + 2, static_cast<uint16_t>(v));
    }

  private:
    std::vector<uint8_t>& bytes_;
};

}  // namespace

std::vector<uint8_t> MakeThumbImage(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> image(bytes, 0);
    std::mt19937 rnd(seed);
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rnd() % n); };
    Writer w(image);

    // Routine starts first, so that calls can go anywhere, forward or back.
    std::vector<size_t> starts;
    for (size_t o = 0; o + 512 < bytes; o += 64 + 4 * pick(90)) starts.push_back(o);
    starts.push_back(bytes);

    for (size_t r = 0; r + 1 < starts.size(); ++r) {
        const size_t begin = starts[r];
        const size_t end = starts[r + 1];
        // Code takes about three quarters, the pool the rest (word aligned).
        const size_t poolStart = (begin + (end - begin) * 3 / 4) & ~size_t{3};
        const size_t poolWords = (end - poolStart) / 4;
        size_t o = begin;
        w.Half(o, 0xB5F0);  // PUSH {R4-R7, LR}
        o += 2;
        while (o + 4 < poolStart) {
            const uint32_t rd = pick(8), rs = pick(8), rn = pick(8);
            switch (pick(16)) {
                case 0:
                case 1: {  // BL to some routine
                    const size_t target = starts[pick(static_cast<uint32_t>(starts.size() - 1))];
                    const int64_t delta =
                        (static_cast<int64_t>(target) - static_cast<int64_t>(o + 4)) / 2;
                    const uint32_t bits = static_cast<uint32_t>(delta) & 0x3FFFFF;
                    w.Half(o, static_cast<uint16_t>(0xF000 | (bits >> 11)));
                    w.Half(o + 2, static_cast<uint16_t>(0xF800 | (bits & 0x7FF)));
                    o += 4;
                    continue;
                }
                case 2: {  // LDR Rd, [PC, #n] from the pool
                    const size_t base = (o & ~size_t{3}) + 4;
                    const size_t first = poolStart > base ? (poolStart - base) / 4 : 0;
                    const size_t slot =
                        first + pick(static_cast<uint32_t>(poolWords ? poolWords : 1));
                    if (slot <= 255 && base + 4 * slot + 4 <= end) {
                        w.Half(o, static_cast<uint16_t>(0x4800 | (rd << 8) | slot));
                    } else {
                        w.Half(o, static_cast<uint16_t>(0x2000 | (rd << 8) | pick(256)));
                    }
                    break;
                }
                case 3:  // conditional branch, short, forward or back inside the routine
                    w.Half(o, static_cast<uint16_t>(0xD000 | (pick(14) << 8) |
                                                    (pick(2) ? pick(8) : (0x100 - 1 - pick(8)))));
                    break;
                case 4:  // B, short
                    w.Half(o, static_cast<uint16_t>(0xE000 |
                                                    (pick(2) ? pick(16) : (0x800 - 1 - pick(16)))));
                    break;
                case 5:
                case 6:  // shift by immediate
                    w.Half(o, static_cast<uint16_t>((pick(3) << 11) | (pick(32) << 6) | (rs << 3) |
                                                    rd));
                    break;
                case 7:  // ADD/SUB register or imm3
                    w.Half(o, static_cast<uint16_t>(0x1800 | (pick(4) << 9) | (rn << 6) |
                                                    (rs << 3) | rd));
                    break;
                case 8:
                case 9:  // MOV/CMP/ADD/SUB imm8
                    w.Half(o,
                           static_cast<uint16_t>(0x2000 | (pick(4) << 11) | (rd << 8) | pick(256)));
                    break;
                case 10:
                case 11:  // ALU
                    w.Half(o, static_cast<uint16_t>(0x4000 | (pick(16) << 6) | (rs << 3) | rd));
                    break;
                case 12:
                case 13:  // LDR/STR word/byte with immediate offset
                    w.Half(o, static_cast<uint16_t>(0x6000 | (pick(4) << 11) | (pick(32) << 6) |
                                                    (rs << 3) | rd));
                    break;
                case 14:  // LDRH/STRH
                    w.Half(o, static_cast<uint16_t>(0x8000 | (pick(2) << 11) | (pick(32) << 6) |
                                                    (rs << 3) | rd));
                    break;
                default:  // SP-relative load/store
                    w.Half(o,
                           static_cast<uint16_t>(0x9000 | (pick(2) << 11) | (rd << 8) | pick(64)));
                    break;
            }
            o += 2;
        }
        // Routine end, alternately POP {PC} and MOV PC, LR.
        while (o + 2 < poolStart) {
            w.Half(o, 0x46C0);  // MOV R8, R8 (a no-op) as padding
            o += 2;
        }
        w.Half(o, r % 4 == 0 ? 0x46F7 : 0xBDF0);
        o += 2;
        // The literal pool.
        for (size_t p = poolStart; p + 4 <= end; p += 4) {
            switch (pick(3)) {
                case 0:
                    w.Word(p,
                           0x200000 + static_cast<uint32_t>(
                                          starts[pick(static_cast<uint32_t>(starts.size() - 1))]));
                    break;
                case 1:
                    w.Word(p, 0x100000 + 4 * pick(0x4000));
                    break;
                default:
                    w.Word(p, rnd());
                    break;
            }
        }
    }
    return image;
}

std::string WriteBenchImage(const std::vector<uint8_t>& bytes, const std::string& name) {
    // The folders go when the program ends, with what the documents wrote beside the
    // image (info file, journal): a run would otherwise leave 16 MiB or more behind.
    static std::vector<std::string> made;
    static const bool cleanup = [] {
        return std::atexit([] {
            for (const std::string& d : made) {
                std::error_code ignored;
                std::filesystem::remove_all(d, ignored);
            }
        }) == 0;
    }();
    (void)cleanup;
    char pattern[] = "/tmp/travik-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr) throw std::runtime_error("mkdtemp failed");
    made.emplace_back(dir);
    const std::string path = std::string(dir) + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<uint8_t> ReadBenchFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string DemoFirmwarePath() {
    if (const char* env = std::getenv("TRAVIK_DEMO_FLS")) return env;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    std::string path(self, static_cast<size_t>(n));
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/samples/demo/demo.fls";
}

std::string InfoFileWithTexts(uint32_t imageSize, uint32_t perKind) {
    auto putLe32 = [](std::string& out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    const uint32_t count = imageSize / 2;
    std::string other;
    putLe32(other, imageSize);
    other.append(count, static_cast<char>(itemtype::kThumb | flagbits::kUserMark));
    putLe32(other, 0xFFFFFFFF);
    for (int kind = 0; kind < 4; ++kind) {
        for (uint32_t k = 0; k < perKind; ++k) {
            const uint32_t index = (k * 1663 + kind * 7) % count;  // spread, increasing runs
            const std::string text = "annotation " + std::to_string(k);
            putLe32(other, index);
            putLe32(other, static_cast<uint32_t>(text.size() + 1));
            other += text;
            other.push_back('\0');
        }
        putLe32(other, 0xFFFFFFFF);
    }
    putLe32(other, 0xFFFFFFFF);
    return other;
}
