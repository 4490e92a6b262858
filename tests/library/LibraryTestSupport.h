#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "library/LLDocument.h"

inline std::filesystem::path corpusDir() { return LEDGERLENS_CORPUS_DIR; }

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

inline std::string readCorpusFile(const std::string& relative) {
    return readFile(corpusDir() / relative);
}

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A fresh folder below the system's temporary folder, removed at the end of the test.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path() /
                ("ledgerlens-test-" + std::to_string(device()) + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Replaces the first occurrence of `from` by `to`; fails the test when it is missing.
inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
    auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

#define SKIP_WITHOUT_CORPUS()                        \
    if (!std::filesystem::is_directory(corpusDir())) \
    GTEST_SKIP() << "invoice corpus not found at " << corpusDir()
