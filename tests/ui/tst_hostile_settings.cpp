// Start-up over hand-edited and damaged settings files: huge and negative counts, gaps in the
// numbering, text where a number belongs, a 1 MB file, binary garbage. Whatever the file says,
// the window comes up with no more history entries and tabs than the file names, and every
// count that cannot be read is reported once.
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "app/startup.h"
#include "support/fake_dialogs.h"
#include "support/main_form_rig.h"
#include "ui/main_form/main_form.h"

namespace {

constexpr const char* kLists = "[List]\r\nCount=0\r\n[History]\r\nCount=0\r\n";

// "N1=<prefix>1" … "N<n>=<prefix><n>" in section, Count given.
QByteArray numbered(const char* section, const char* count, int n, const char* prefix) {
    std::string text = std::string("[") + section + "]\r\nCount=" + count + "\r\n";
    for (int i = 1; i <= n; ++i)
        text += "N" + std::to_string(i) + "=" + prefix + std::to_string(i) + "\r\n";
    return QByteArray::fromStdString(text);
}

// A megabyte of bytes of every value, NUL, CR and LF included; the same on every run.
QByteArray garbage() {
    std::mt19937 random(20261207);
    QByteArray bytes(1 << 20, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

QString notInteger(const QString& text) {
    return "'" + text + "' is not a valid integer value";
}

}  // namespace

class TestHostileSettings : public QObject {
    Q_OBJECT

private slots:
    void startupBoundsEveryListByTheKeysPresent_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<int>("historySize");
        QTest::addColumn<QStringList>("historyHead");  // the first entries, at most three
        QTest::addColumn<QStringList>("errors");

        const QStringList both{"a.dic", "b.dic"};
        QTest::newRow("history Count of two thousand million over one key")
            << QByteArray("[List]\r\nCount=0\r\n[History]\r\nCount=2000000000\r\nN1=dog\r\n")
            << both << 1 << QStringList{"dog"} << QStringList{};
        QTest::newRow("history Count of a hundred thousand over one key")
            << QByteArray("[List]\r\nCount=0\r\n[History]\r\nCount=100000\r\nN1=dog\r\n") << both
            << 1 << QStringList{"dog"} << QStringList{};
        QTest::newRow("list Count of two thousand million")
            << QByteArray("[List]\r\nCount=2000000000\r\nN1=+b.dic\r\n[History]\r\nCount=0\r\n")
            << QStringList{"b.dic"} << 0 << QStringList{} << QStringList{};
        QTest::newRow("gaps in the numbering")
            << QByteArray(
                   "[List]\r\nCount=9\r\nN2=+b.dic\r\nN9=+a.dic\r\nN10=+a.dic\r\n"
                   "[History]\r\nCount=6\r\nN1=a\r\nN3=c\r\nN6=f\r\nN7=g\r\n")
            << QStringList{"b.dic", "a.dic"} << 3 << QStringList{"a", "c", "f"} << QStringList{};
        QTest::newRow("a gap of two thousand million")
            << QByteArray(
                   "[List]\r\nCount=0\r\n[History]\r\nCount=2000000000\r\nN1=a\r\n"
                   "N1999999999=z\r\nN2000000001=over\r\nN99999999999=far\r\n")
            << both << 2 << QStringList{"a", "z"} << QStringList{};
        QTest::newRow("only N and digits without leading zeros number an entry")
            << QByteArray(
                   "[List]\r\nCount=0\r\n[History]\r\nCount=3\r\nN01=zero\r\nn2=two\r\n"
                   "N1=one\r\nN-3=minus\r\nN 3=blank\r\nN3x=tail\r\n")
            << both << 2 << QStringList{"one", "two"} << QStringList{};
        QTest::newRow("negative Counts")
            << QByteArray(
                   "[List]\r\nCount=-3\r\nN1=+b.dic\r\n[History]\r\nCount=-1\r\n"
                   "N1=dog\r\n")
            << both << 0 << QStringList{} << QStringList{};
        QTest::newRow("Counts that are not integers")
            << QByteArray(
                   "[List]\r\nCount=0x10\r\nN1=+b.dic\r\n[History]\r\nCount=12abc\r\n"
                   "N1=dog\r\n")
            << both << 0 << QStringList{} << QStringList{notInteger("0x10"), notInteger("12abc")};
        QTest::newRow("Count beyond the integer range")
            << QByteArray(
                   "[List]\r\nCount=99999999999\r\n[History]\r\nCount=2147483648\r\n"
                   "N1=dog\r\n")
            << both << 0 << QStringList{}
            << QStringList{notInteger("99999999999"), notInteger("2147483648")};
        QTest::newRow("a megabyte of history entries")
            << numbered("History", "2000000000", 100000, "w") + "[List]\r\nCount=0\r\n"
            << both << 100000 << QStringList{"w1", "w2", "w3"} << QStringList{};
        QTest::newRow("a megabyte of list entries")
            << numbered("List", "2000000000", 80000, "-x") +
                   "N80001=+a.dic\r\n"
                   "[History]\r\nCount=0\r\n"
            << QStringList{"a.dic"} << 0 << QStringList{} << QStringList{};
        QByteArray sections(kLists);
        for (int i = 0; sections.size() < (1 << 20); ++i)
            sections += "[s" + QByteArray::number(i) + "]\r\nk=v\r\n";
        QTest::newRow("a megabyte of sections")
            << sections << both << 0 << QStringList{} << QStringList{};
        QTest::newRow("a megabyte in one value")
            << QByteArray("[List]\r\nCount=0\r\n[History]\r\nCount=1\r\nN1=") +
                   QByteArray(1 << 20, 'x') + "\r\n"
            << both << 1 << QStringList{QString(2047, 'x')} << QStringList{};
        QTest::newRow("a megabyte of binary garbage")
            << garbage() << both << 0 << QStringList{}
            << QStringList{notInteger(""), notInteger("")};
        QTest::newRow("binary garbage after huge Counts")
            << QByteArray(
                   "[List]\r\nCount=2000000000\r\nN1=+a.dic\r\n[History]\r\n"
                   "Count=2000000000\r\nN1=dog\r\n") +
                   garbage()
            << QStringList{"a.dic"} << 1 << QStringList{"dog"} << QStringList{};
    }
    void startupBoundsEveryListByTheKeysPresent() {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, tabs);
        QFETCH(int, historySize);
        QFETCH(QStringList, historyHead);
        QFETCH(QStringList, errors);

        QTemporaryDir dir;
        rig::writeDic(dir.filePath("a.dic"), {"a.dic", "A", {{"alpha", "first"}}});
        rig::writeDic(dir.filePath("b.dic"), {"b.dic", "B", {{"beta", "second"}}});
        std::ofstream(dir.filePath("termovel.ini").toStdString(), std::ios::binary)
            .write(ini.constData(), ini.size());

        TFakeDialogs dialogs;
        rig::useOwnCache();
        TStartupEnvironment env;
        env.programFolder = dir.path().toStdString();
        env.lockPath = dir.filePath("TermovelMutex").toStdString();
        env.dialogs = &dialogs;
        TFakeDialogs* windowDialogs = nullptr;
        env.makeWindowDialogs = [&]() -> std::unique_ptr<TDialogs> {
            auto made = std::make_unique<TFakeDialogs>();
            windowDialogs = made.get();
            return made;
        };
        int loops = 0;
        const auto check = [&](TMainForm& form) {
            ++loops;
            QCOMPARE(windowDialogs->texts("error"), errors);
            QVERIFY(form.isVisible());
            QCOMPARE(rig::tabs(form), tabs);
            const QStringList history = rig::history(form);
            QCOMPARE(history.size(), historySize);
            QCOMPARE(history.mid(0, 3), historyHead);
        };
        env.runLoop = [&](TMainForm& form) {
            check(form);
            return 0;
        };
        QCOMPARE(runStartup(env), 0);
        QCOMPARE(loops, 1);
        QVERIFY(dialogs.shown.empty());
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestHostileSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile_settings.moc"
