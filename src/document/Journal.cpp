#include "document/Journal.h"

#include <cstdio>

#include "shell/Checksum.h"

namespace journal {

namespace {

constexpr std::string_view kMagic = "Travik journal 1 ";
constexpr size_t kRecordHead = 12;

uint64_t Sum(std::string_view bytes) {
    return Checksum64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void PutLe(std::string& out, uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>(value >> (8 * k)));
}

uint64_t GetLe(std::string_view in, int bytes) {
    uint64_t value = 0;
    for (int k = bytes - 1; k >= 0; --k) value = value << 8 | static_cast<uint8_t>(in[k]);
    return value;
}

}  // namespace

std::string Header(const uint8_t* image, uint32_t size) {
    char line[80];
    std::snprintf(line, sizeof line, "size=%u sum=%016llx\n", size,
                  static_cast<unsigned long long>(Checksum64(image, size)));
    return std::string(kMagic) + line;
}

std::string Record(const EditStep& step) {
    std::string record = EncodeStep(step, kRecordHead);
    const std::string_view bytes = std::string_view(record).substr(kRecordHead);
    std::string head;
    PutLe(head, bytes.size(), 4);
    PutLe(head, Sum(bytes), 8);
    record.replace(0, kRecordHead, head);
    return record;
}

Contents Read(std::string_view bytes, std::string_view header) {
    Contents contents;
    const size_t lineEnd = bytes.find('\n');
    if (lineEnd == std::string_view::npos || bytes.substr(0, kMagic.size()) != kMagic) {
        contents.kind = Contents::kUnreadable;
        return contents;
    }
    if (bytes.substr(0, lineEnd + 1) != header) {
        contents.kind = Contents::kOtherImage;
        return contents;
    }
    std::string_view rest = bytes.substr(lineEnd + 1);
    contents.goodBytes = lineEnd + 1;
    while (rest.size() >= kRecordHead) {
        const uint64_t size = GetLe(rest, 4);
        if (size > rest.size() - kRecordHead) break;
        const std::string_view body = rest.substr(kRecordHead, size);
        if (Sum(body) != GetLe(rest.substr(4), 8)) break;
        std::optional<EditStep> step = DecodeStep(body);
        if (!step) break;
        contents.steps.push_back(std::move(*step));
        contents.goodBytes += kRecordHead + size;
        rest.remove_prefix(kRecordHead + size);
    }
    contents.droppedBytes = rest.size();
    return contents;
}

}  // namespace journal
