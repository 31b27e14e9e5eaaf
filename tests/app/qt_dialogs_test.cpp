#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/qt_dialogs.h"
#include "window_fixture.h"

namespace corvat {
namespace {

const QString kImageFilter = QStringLiteral("程序(*.BIN;*.HEX)|*.BIN;*.HEX");

struct VariantRow {
    const char* name;
    QString pattern;
    qsizetype count;
    QStringList mustContain;
};

class CaseVariantsTest : public ::testing::TestWithParam<VariantRow> {};

TEST_P(CaseVariantsTest, EverySpellingOnceEach) {
    const VariantRow& row = GetParam();
    const QStringList variants = CaseVariants(row.pattern);
    EXPECT_EQ(variants.size(), row.count);
    EXPECT_EQ(variants.size(), QSet<QString>(variants.begin(), variants.end()).size());
    for (const QString& spelling : row.mustContain)
        EXPECT_TRUE(variants.contains(spelling)) << spelling.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, CaseVariantsTest,
    ::testing::Values(
        VariantRow{"ThreeLetters", "*.BIN", 8, {"*.BIN", "*.bin", "*.Bin", "*.bIn", "*.biN"}},
        VariantRow{"MixedGiven", "*.Hex", 8, {"*.Hex", "*.hex", "*.HEX", "*.heX"}},
        VariantRow{"NoLetters", "*", 1, {"*"}}, VariantRow{"DigitsStay", "*.S19", 2, {"*.S19", "*.s19"}},
        // Too many letters for every spelling: the given, all-lower and all-upper remain.
        VariantRow{"LongName", "Firmware.Image", 3, {"Firmware.Image", "firmware.image", "FIRMWARE.IMAGE"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FilterRow {
    const char* name;
    QString loaderFilter;
    QStringList entryStarts;  // each Qt entry begins with its description
    qsizetype patternCount;   // spellings over all entries
};

class FilterTest : public ::testing::TestWithParam<FilterRow> {};

TEST_P(FilterTest, LoaderFilterBecomesQtEntries) {
    const FilterRow& row = GetParam();
    const QStringList entries = ToQtFilter(row.loaderFilter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    ASSERT_EQ(entries.size(), row.entryStarts.size());
    qsizetype patterns = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        EXPECT_TRUE(entries[i].startsWith(row.entryStarts[i] + QStringLiteral(" (")))
            << entries[i].toStdString();
        EXPECT_TRUE(entries[i].endsWith(u')'));
        const qsizetype open = entries[i].lastIndexOf(u'(');
        patterns += entries[i].mid(open + 1).chopped(1).split(u' ').size();
    }
    EXPECT_EQ(patterns, row.patternCount);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterTest,
    ::testing::Values(FilterRow{"ImageFilter", kImageFilter, {"程序(*.BIN;*.HEX)"}, 16},
                      FilterRow{"TwoEntries", "Binary|*.bin|All|*", {"Binary", "All"}, 9},
                      FilterRow{"PatternsMissing", "*.hex", {"*.hex"}, 8}, FilterRow{"Empty", "", {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The real dialog over a real folder: images are offered in every letter case, other files are not,
// and it opens on the name chosen last.
TEST(OpenFileDialogTest, OffersImagesInEveryCaseAndStartsAtTheLastName) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList images{"a.bin", "b.BIN", "c.Hex", "d.hEX", "abchex.HEX"};
    for (const QString& name : images + QStringList{"e.txt", "f.binx", "hex"}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString lastName = folder.filePath(QStringLiteral("b.BIN"));
    const auto dialog = MakeOpenFileDialog(kImageFilter, lastName, nullptr);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog->open();

    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !loaded.isEmpty(); }));
    QStringList listed;
    ASSERT_TRUE(WaitUntil([&] {
        listed.clear();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
        }
        return listed.size() >= images.size();
    }));
    listed.sort();
    QStringList expected = images;
    expected.sort();
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("程序加载"));
    EXPECT_EQ(dialog->selectedFiles(), QStringList{lastName});
    dialog->reject();
}

// Texts that look like markup (a file name, a typed port) keep every character and line break.
TEST(MessageBoxTest, ShowsItsTextLiterally) {
    const QString text = QStringLiteral("无法读取文件：/tmp/<b>x</b>.bin\n<i>COM1</i> &amp; <br>");
    const auto box = MakeMessageBox(text, MessageIcon::None, QStringLiteral("Corvat"), nullptr);
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Corvat"));
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
}

}  // namespace
}  // namespace corvat
