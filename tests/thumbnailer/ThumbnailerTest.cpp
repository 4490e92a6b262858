// ledgerlens-thumbnailer as a file manager runs it: -s SIZE INPUT OUTPUT.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = LEDGERLENS_CORPUS_DIR;

struct ProcessRun {
    int exitCode = -1;
    QString errors;
};

ProcessRun thumbnail(const QStringList& arguments) {
    QProcess process;
    process.start(LEDGERLENS_THUMBNAILER, arguments);
    if (!process.waitForFinished(120000)) return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

// Share of pixels that are clearly not white: a page with text and lines has some.
double inkShare(const QImage& image) {
    qint64 ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 200) ++ink;
    return double(ink) / (double(image.width()) * image.height());
}

struct Sample {
    const char* file;
    int size;
    friend void PrintTo(const Sample& sample, std::ostream* out) {
        *out << sample.file << " at " << sample.size << " px";
    }
};

class ThumbnailerTest : public ::testing::TestWithParam<Sample> {};

TEST_P(ThumbnailerTest, FirstPageOfTheRequestedSizeIsNotBlank) {
    const auto [file, size] = GetParam();
    const fs::path input = kCorpus / file;
    if (!fs::exists(input)) GTEST_SKIP() << "corpus file missing: " << input;
    QTemporaryDir dir;
    const QString output = dir.filePath("thumbnail.png");
    ProcessRun run =
        thumbnail({"-s", QString::number(size), QString::fromStdString(input.string()), output});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    QImage image(output, "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(std::max(image.width(), image.height()), size);
    // An A4 page stands upright.
    EXPECT_NEAR(double(image.width()) / image.height(), 210.0 / 297.0, 0.02);
    const double ink = inkShare(image);
    EXPECT_GT(ink, 0.01) << "blank page";
    EXPECT_LT(ink, 0.6) << "a page is mostly paper";
}

INSTANTIATE_TEST_SUITE_P(
    CorpusInvoices, ThumbnailerTest,
    ::testing::Values(Sample{"zugferd/ZUGFeRDv1/correct/Intarsys/ZUGFeRD_1p0_BASIC_Einfach.pdf",
                             256},
                      Sample{"en16931-examples/cii/CII_example2.xml", 128},
                      Sample{"en16931-examples/ubl/ubl-tc434-example1.xml", 512}),
    [](const auto& info) {
        std::string name =
            fs::path(info.param.file).stem().string() + "_" + std::to_string(info.param.size);
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(ThumbnailerRefusal, WhatIsNoInvoiceGetsNoThumbnail) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString output = dir.filePath("out.png");
    const QString notes = write("notes.xml", "<?xml version=\"1.0\"?><notes><a/></notes>");
    const QString broken = write("broken.pdf", "%PDF-1.7\nnot really a PDF\n%%EOF\n");
    const QString half = write("half.xml", "<Invoice xmlns=\"urn:oasis:names:specification:ubl");
    for (const QString& input : {notes, broken, half}) {
        ProcessRun run = thumbnail({"-s", "128", input, output});
        EXPECT_EQ(run.exitCode, 1) << input.toStdString();
        EXPECT_FALSE(run.errors.isEmpty());
        EXPECT_FALSE(QFile::exists(output)) << "nothing is written for " << input.toStdString();
    }
    EXPECT_EQ(thumbnail({"-s", "128", dir.path(), output}).exitCode, 1);   // a folder
    EXPECT_EQ(thumbnail({"-s", "128", "/dev/zero", output}).exitCode, 1);  // never read
    EXPECT_EQ(thumbnail({"-s", "0", notes, output}).exitCode, 2);
    EXPECT_EQ(thumbnail({"-s", "big", notes, output}).exitCode, 2);
    EXPECT_EQ(thumbnail({notes}).exitCode, 2);
}

}  // namespace
