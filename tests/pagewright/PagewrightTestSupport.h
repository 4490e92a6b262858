#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Settings.h"

namespace fs = std::filesystem;

inline fs::path corpusDir() { return LEDGERLENS_CORPUS_DIR; }

#define SKIP_WITHOUT_CORPUS()                       \
    if (!fs::is_directory(corpusDir() / "zugferd")) \
    GTEST_SKIP() << "invoice corpus not found at " << corpusDir()

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

inline void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every PDF of the ZUGFeRD corpus folder, sorted.
inline std::vector<fs::path> corpusPDFs() {
    std::vector<fs::path> files;
    if (!fs::is_directory(corpusDir() / "zugferd")) return files;
    for (const auto& entry : fs::recursive_directory_iterator(corpusDir() / "zugferd"))
        if (entry.is_regular_file() && entry.path().extension() == ".pdf")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs a shell command and collects its standard output.
inline CommandResult run(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 65536> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool haveTool(const std::string& name) {
    return run("command -v " + name + " >/dev/null 2>&1").status == 0;
}

// A fresh folder under the temporary directory, removed first when present.
inline fs::path scratchDir(const std::string& name) {
    auto dir = fs::temp_directory_path() / ("pagewright-test-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A minimal PDF page with one line of text in Helvetica (not embedded).
inline QPDFObjectHandle addTextPage(QPDF& pdf, const std::string& text, double width = 595,
                                    double height = 842) {
    auto font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    auto content = QPDFObjectHandle::newStream(
        &pdf, "BT /F1 12 Tf 72 " + std::to_string(static_cast<int>(height) - 122) + " Td (" +
                  text + ") Tj ET");
    auto resources = QPDFObjectHandle::newDictionary();
    auto fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/F1", font);
    resources.replaceKey("/Font", fonts);
    auto page = QPDFObjectHandle::parse("<< /Type /Page >>");
    page.replaceKey("/MediaBox",
                    QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
    page.replaceKey("/Contents", content);
    page.replaceKey("/Resources", resources);
    page = pdf.makeIndirectObject(page);
    QPDFPageDocumentHelper(pdf).addPage(page, false);
    return page;
}

// A file specification with an embedded stream holding `data`.
inline QPDFObjectHandle fileSpec(QPDF& pdf, const std::string& name, const std::string& data) {
    auto stream = QPDFObjectHandle::newStream(&pdf, data);
    stream.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/EmbeddedFile"));
    auto spec = QPDFObjectHandle::newDictionary();
    spec.replaceKey("/Type", QPDFObjectHandle::newName("/Filespec"));
    spec.replaceKey("/F", QPDFObjectHandle::newString(name));
    spec.replaceKey("/UF", QPDFObjectHandle::newUnicodeString(name));
    auto ef = QPDFObjectHandle::newDictionary();
    ef.replaceKey("/F", stream);
    spec.replaceKey("/EF", ef);
    return pdf.makeIndirectObject(spec);
}

inline std::string writeToBytes(QPDF& pdf, bool compress = true) {
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setCompressStreams(compress);
    writer.setStaticID(true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

// Points the user defaults at a private settings file for the lifetime of the object.
class ScopedSettings {
  public:
    ScopedSettings() : dir_(scratchDir("settings")) {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) old_ = old;
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    ~ScopedSettings() {
        if (old_)
            ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }
    void set(const char* key, const char* value) {
        ASSERT_TRUE(platform::Settings().setValue(key, value));
    }

  private:
    fs::path dir_;
    std::optional<std::string> old_;
};

// A PDF produced by a test, opened with qpdf for inspection.
struct OpenedPDF {
    explicit OpenedPDF(std::string data) : bytes(std::move(data)) {
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("output", bytes.data(), bytes.size());
    }
    QPDFObjectHandle root() { return pdf.getRoot(); }
    std::string xmp() {
        auto metadata = root().getKey("/Metadata");
        if (!metadata.isStream()) return "";
        auto buffer = metadata.getStreamData();
        return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    }
    // The terminal form fields by name, with their /FT.
    std::map<std::string, std::string> fields() {
        std::map<std::string, std::string> result;
        auto form = root().getKey("/AcroForm");
        if (!form.isDictionary()) return result;
        auto list = form.getKey("/Fields");
        for (int i = 0; list.isArray() && i < list.getArrayNItems(); ++i) {
            auto f = list.getArrayItem(i);
            result[f.getKey("/T").getUTF8Value()] =
                f.getKey("/FT").isName() ? f.getKey("/FT").getName() : "";
        }
        return result;
    }
    std::string bytes;
    QPDF pdf;
};
