// The about box: labels from the version record of an executable, design
// captions without one.
#include <QLabel>
#include <QTest>

#include "app/AboutBox.h"
#include "app/FormSupport.h"
#include "tests/app/DialogTestSupport.h"
#include "tests/app/ElfImage.h"
#include "testsupport/TempDir.h"

namespace {
struct Captions {
  QString product, version, company, copyright, comments;
};
Captions Of(const TAboutBox& box) {
  return {box.ProductName->text(), box.Version->text(), box.Company->text(),
          box.Copyright->text(), box.Comments->text()};
}
}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT
 private slots:
  // This test program carries the program's own record.
  void OwnRecordOfThisRelease() {
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QString("About"));
    QCOMPARE(box.OKButton->text(), QString("OK"));
    QVERIFY(box.OKButton->isDefault());
    if (AtDesignScale(box)) QCOMPARE(box.size(), QSize(313, 213));
    box.show();
    const Captions c = Of(box);
    QCOMPARE(c.product, QString("Varlo 95"));
    QCOMPARE(c.version, QString("Version   1.0.31.41  "));
    // The record's own texts replace the design captions.
    QCOMPARE(c.company, QString("Varlo Audio Systems"));
    QVERIFY(c.copyright.startsWith("Copyright (C) "));
    QVERIFY(!c.comments.isEmpty() && c.comments != "Comments");
    QCOMPARE(UnnamedControls(box), QStringList());
    // Labels grow with their text instead of cutting it off.
    for (QLabel* label : {box.ProductName, box.Version, box.Company, box.Copyright, box.Comments})
      QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    SaveScreen(box, "about");
  }

  void FileWithoutRecordKeepsDesignCaptions() {
    TAboutBox box(nullptr, ORBSIM_PATH);
    box.show();
    const Captions c = Of(box);
    QCOMPARE(c.product, QString("Product Name"));
    QCOMPARE(c.version, QString("Version"));
    QCOMPARE(c.company, QString("Company"));
    QCOMPARE(c.copyright, QString("Copyright"));
    QCOMPARE(c.comments, QString("Comments"));
    TAboutBox missing(nullptr, "/no/such/program");
    missing.FormActivate();
    QCOMPARE(missing.Version->text(), QString("Version"));
  }

  void RecordOfAnotherBuild() {
    TAboutBox box(nullptr, VERSION_PROBE_PATH);
    box.FormActivate();
    QCOMPARE(box.Version->text(), QString("Version   2.5.7.1234  Special Build"));
    QCOMPARE(box.Comments->text(), QString("Probe build"));
    QCOMPARE(box.ProductName->text(), QString("Varlo 95"));
  }

  // The version line comes from the file version, not the product version;
  // entries missing from the record leave their labels empty.
  void SparseRecord() {
    RecordFields fields;
    fields.versionMS = 3 << 16 | 4;
    fields.versionLS = 5 << 16 | 6;
    fields.productMS = 9 << 16 | 9;
    fields.productLS = 9 << 16 | 9;
    fields.flags = fields.flagsMask = 1;
    fields.text = {"040904E4", "ProductName", "Varlo 95", "CompanyName", "ORB"};
    const ElfImage elf = MakeElf({{".varlo_version", MakeRecord(fields)}});
    TempDir dir;
    const std::string path = dir / "program";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(elf.bytes.data()), elf.bytes.size());

    TAboutBox box(nullptr, QString::fromStdString(path));
    box.FormActivate();
    QCOMPARE(box.Version->text(), QString("Version   3.4.5.6  Debug"));
    QCOMPARE(box.Company->text(), QString("ORB"));
    QCOMPARE(box.Copyright->text(), QString());
    QCOMPARE(box.Comments->text(), QString());
  }

  void BuildKindWord_data() {
    QTest::addColumn<uint>("flags");
    QTest::addColumn<uint>("mask");
    QTest::addColumn<QString>("word");
    QTest::newRow("none") << 0u << 63u << "";
    QTest::newRow("debug") << 1u << 63u << "Debug";
    QTest::newRow("debug beta") << 3u << 63u << "Beta";
    QTest::newRow("debug beta private") << 11u << 63u << "Private Build";
    QTest::newRow("beta special") << 34u << 63u << "Special Build";
    QTest::newRow("patched inferred") << 20u << 63u << "";
    QTest::newRow("masked out") << 34u << 2u << "Beta";
    QTest::newRow("no mask") << 63u << 0u << "";
  }
  void BuildKindWord() {
    QFETCH(uint, flags);
    QFETCH(uint, mask);
    QFETCH(QString, word);
    QCOMPARE(TAboutBox::VersionLine(0x00010000, 0x001F0029, flags, mask),
             "Version   1.0.31.41  " + word);
  }

  void OkCloses() {
    TAboutBox box;
    OnModal([](QDialog& d) { static_cast<TAboutBox&>(d).OKButton->click(); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QCOMPARE(box.ProductName->text(), QString("Varlo 95"));
  }
};

int RunAboutBoxTests(int argc, char** argv) {
  AboutBoxTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "about_box_test.moc"
