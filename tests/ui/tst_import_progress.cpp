// The import under its progress window: what the window shows, Cancel from each of its doors
// and the pace of updates. The window's import command (tst_import) covers the failures.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "support/fake_dialogs.h"
#include "ui/dialogs/import_progress.h"

namespace {

// Three blocks, LF line ends: 12 + 7 + 4 bytes, then 13 + 4 + 4, then 7 + 6 + 4.
const QByteArray kThreeBlocks =
    "@first term\nline 1\n~~~\n"
    "@second term\nart\n~~~\n"
    "@third\nlast!\n~~~\n";

// What the progress window showed at one update.
struct TSeen {
    QString term;
    QString bytes;
    int permille = 0;
    bool modalInFront = false;
};

}  // namespace

class TestImportProgress : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { compare::setLocale(""); }
    void init();
    void cleanup();

    void windowShowsBytesOfSizeAndTerm();
    void cancelKeepsBlocksReadBefore_data();
    void cancelKeepsBlocksReadBefore();
    void everyDoorOfTheWindowAsksToStop_data();
    void everyDoorOfTheWindowAsksToStop();
    void updatesKeepTheirPace();

private:
    std::string write(const QString& name, const QByteArray& bytes);

    QTemporaryDir dir_;
    QWidget* owner_ = nullptr;
    std::unique_ptr<TFakeDialogs> fake_;
};

void TestImportProgress::init() {
    owner_ = new QWidget;
    owner_->show();
    fake_ = std::make_unique<TFakeDialogs>();
}

void TestImportProgress::cleanup() {
    delete owner_;
    owner_ = nullptr;
}

std::string TestImportProgress::write(const QString& name, const QByteArray& bytes) {
    QFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return file.fileName().toStdString();
}

void TestImportProgress::windowShowsBytesOfSizeAndTerm() {
    const std::string path = write("three.txt", kThreeBlocks);
    std::vector<TSeen> seen;
    fake_->onProgress = [&seen](QDialog& dialog) {
        auto* form = qobject_cast<TImportProgressForm*>(&dialog);
        QVERIFY(form);
        QObject::connect(form, &TImportProgressForm::progressed, form, [form, &seen] {
            seen.push_back({form->termText(), form->bytesText(), form->permille(),
                            QApplication::activeModalWidget() == form && form->isVisible()});
        });
    };
    TDictionary dictionary;
    TImportRunner runner(owner_, *fake_);
    std::vector<std::string> updates;
    runner.setOnUpdate([&updates](std::string_view term) { updates.emplace_back(term); });
    const TImportResult result = runner.run(dictionary, path);

    QCOMPARE(result.added, 3);
    QCOMPARE(fake_->progressShown, 1);
    QCOMPARE(seen.size(), size_t{3});
    const int size = kThreeBlocks.size();
    const int before[] = {12, 12 + 7 + 4 + 13, 12 + 7 + 4 + 13 + 4 + 4 + 7};
    const char* terms[] = {"first term", "second term", "third"};
    for (size_t i = 0; i < seen.size(); ++i) {
        QCOMPARE(seen[i].term, QString::fromLatin1(terms[i]));
        QCOMPARE(seen[i].bytes, QStringLiteral("Прочитано %1 из %2 байт").arg(before[i]).arg(size));
        QCOMPARE(seen[i].permille, before[i] * 1000 / size);
        QVERIFY(seen[i].modalInFront);
    }
    QCOMPARE(updates, (std::vector<std::string>{"first term", "second term", "third"}));
    QCOMPARE(runner.lastTerm(), std::string("third"));
    // The window is down once the import has returned.
    QVERIFY(!QApplication::activeModalWidget());
}

void TestImportProgress::cancelKeepsBlocksReadBefore_data() {
    QTest::addColumn<int>("cancelAt");  // the update at which Cancel is clicked, from 1
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QString>("lastTerm");
    QTest::newRow("at the first term") << 1 << QStringList{} << QString();
    QTest::newRow("at the second term") << 2 << QStringList{"first term"} << "first term";
    QTest::newRow("at the third term")
        << 3 << QStringList{"first term", "second term"} << "second term";
}

void TestImportProgress::cancelKeepsBlocksReadBefore() {
    QFETCH(int, cancelAt);
    QFETCH(QStringList, kept);
    QFETCH(QString, lastTerm);
    const std::string path = write("three.txt", kThreeBlocks);
    int updates = 0;
    fake_->onProgress = [&updates, cancelAt](QDialog& dialog) {
        auto* form = qobject_cast<TImportProgressForm*>(&dialog);
        QObject::connect(form, &TImportProgressForm::progressed, form, [form, &updates, cancelAt] {
            if (++updates == cancelAt)
                QTest::mouseClick(form->cancelButton(), Qt::LeftButton);
        });
    };
    TDictionary dictionary;
    TImportRunner runner(owner_, *fake_);
    const TImportResult result = runner.run(dictionary, path);

    QVERIFY(result.cancelled);
    QCOMPARE(updates, cancelAt);
    QStringList terms;
    for (int i = 0; i < dictionary.Count(); ++i)
        terms << QString::fromStdString(std::string(dictionary.Term(i)));
    QCOMPARE(terms, kept);
    QCOMPARE(dictionary.Modified(), !kept.isEmpty());
    QCOMPARE(QString::fromStdString(runner.lastTerm()), lastTerm);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestImportProgress::everyDoorOfTheWindowAsksToStop_data() {
    QTest::addColumn<QString>("door");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestImportProgress::everyDoorOfTheWindowAsksToStop() {
    QFETCH(QString, door);
    const std::string path = write("three.txt", kThreeBlocks);
    bool stillUpAfterAsking = false;
    fake_->onProgress = [&](QDialog& dialog) {
        auto* form = qobject_cast<TImportProgressForm*>(&dialog);
        if (door == "button")
            form->cancelButton()->click();
        else if (door == "escape")
            QTest::keyClick(form, Qt::Key_Escape);
        else
            form->close();
        // Asking to stop does not take the window down under the running import.
        stillUpAfterAsking =
            form->isVisible() && form->cancelRequested() && !form->cancelButton()->isEnabled();
    };
    TDictionary dictionary;
    TImportRunner runner(owner_, *fake_);
    const TImportResult result = runner.run(dictionary, path);

    QVERIFY(stillUpAfterAsking);
    QVERIFY(result.cancelled);
    QCOMPARE(dictionary.Count(), 0);
}

void TestImportProgress::updatesKeepTheirPace() {
    // An interval longer than the import: no window, no update, nothing left undone.
    const std::string path = write("three.txt", kThreeBlocks);
    fake_->progressIntervalMs = 3'600'000;
    TDictionary dictionary;
    TImportRunner runner(owner_, *fake_);
    int updates = 0;
    runner.setOnUpdate([&updates](std::string_view) { ++updates; });
    const TImportResult result = runner.run(dictionary, path);

    QCOMPARE(result.added, 3);
    QCOMPARE(updates, 0);
    QCOMPARE(fake_->progressShown, 0);
    QCOMPARE(runner.lastTerm(), std::string("third"));
}

QTEST_MAIN(TestImportProgress)
#include "tst_import_progress.moc"
