#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "document/CTravikDoc.h"
#include "shell/NullFrame.h"

// A file in a folder of this fuzzing process's own.
inline std::string FuzzFile(const char* name) {
    static const std::string folder = [] {
        char path[] = "/tmp/travik-fuzz-XXXXXX";
        if (mkdtemp(path) == nullptr) __builtin_trap();
        return std::string(path);
    }();
    return folder + "/" + name;
}

inline void WriteBytes(const std::string& path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size)) __builtin_trap();
    std::fclose(file);
}

// A document opened on an image of `size` zero bytes.
inline std::unique_ptr<CTravikDoc> OpenZeros(NullFrame& frame, size_t size) {
    const std::string path = FuzzFile("zeros.fls");
    WriteBytes(path, std::string(size, '\0').data(), size);
    auto doc = std::make_unique<CTravikDoc>(frame);
    if (!doc->OnOpenDocument(path)) __builtin_trap();
    return doc;
}
