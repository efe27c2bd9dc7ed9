// A motor list file for the benchmarks of the batch and the exports: count motors, every
// third a group, each with a label ("Motor N"), in a temporary file removed at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace bench {

class MotorListFile {
public:
    explicit MotorListFile(std::int64_t count)
        : path_(std::filesystem::temp_directory_path() /
                ("rvx-batch-bench-" + std::to_string(std::random_device()()) + ".txt")) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) {
            return;
        }
        std::fputs("# generated\n", file);
        for (std::int64_t k = 0; k < count; ++k) {
            std::fprintf(file, "%06llX,%s,Motor %lld\n",
                         static_cast<unsigned long long>((k * 2654435761LL) & 0xFFFFFF),
                         k % 3 == 0 ? "group" : "single", static_cast<long long>(k));
        }
        ok_ = std::fclose(file) == 0;
    }
    MotorListFile(const MotorListFile&) = delete;
    MotorListFile& operator=(const MotorListFile&) = delete;
    ~MotorListFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
    bool ok_ = false;
};

}  // namespace bench
