// The measuring half of bench/figures.sh: what a shell cannot time from outside.
//
//   termovel_figures text N FILE       writes N synthetic terms as import text (Windows-1251)
//   termovel_figures loadsave FILE     reading and unscrambling FILE, LoadFromFile and
//                                      SaveToFile of it: median ms of five
//   termovel_figures keystrokes FILE   the real main window over FILE, offscreen; types the
//                                      first letters of 200 terms spread over the dictionary
//                                      into the search box and prints the median and p99 ms
//                                      from key press to the selected row painted
// Every result is printed as "name value" lines for the script to put into its table.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary_synthetic.h"
#include "settings/reg_setup.h"
#include "ui/dialogs.h"
#include "ui/main_form/main_form.h"
#include "ui/main_form/main_form_view.h"

namespace {

using TClock = std::chrono::steady_clock;

double msSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    const size_t at = std::min(samples.size() - 1, static_cast<size_t>(p * samples.size()));
    return samples[at];
}

int writeText(long n, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    for (const auto& [term, article] : dictionary_synthetic::entries(static_cast<size_t>(n)))
        out << '@' << term << '\n' << article << "\n~~~\n";
    return out ? 0 : 1;
}

int loadSave(const std::string& path) {
    std::vector<double> read;
    std::vector<double> load;
    std::vector<double> save;
    const std::string copy = path + ".saved";
    for (int i = 0; i < 5; ++i) {
        // What loading is held to: the file read into memory and unscrambled, nothing more.
        auto start = TClock::now();
        {
            TSecretMemoryStream stream;
            stream.LoadFromFile(path);
            stream.Unscramble();
        }
        read.push_back(msSince(start));
        TDictionary dictionary;
        start = TClock::now();
        dictionary.LoadFromFile(path);
        load.push_back(msSince(start));
        start = TClock::now();
        dictionary.SaveToFile(copy);
        save.push_back(msSince(start));
    }
    std::remove(copy.c_str());
    std::printf("read_ms %.1f\nload_ms %.1f\nsave_ms %.1f\n", percentile(read, 0.5),
                percentile(load, 0.5), percentile(save, 0.5));
    return 0;
}

// Every box answered No at once: nothing of the window may wait for a user here.
class TSilentDialogs : public TDialogs {
public:
    TAnswer confirm(QWidget*, const QString&) override { return TAnswer::No; }
    void information(QWidget*, const QString&) override {}
    void warning(QWidget*, const QString&) override {}
    void error(QWidget*, const QString& text) override {
        std::fprintf(stderr, "error: %s\n", text.toUtf8().constData());
    }
    bool execFileDialog(QFileDialog&) override { return false; }
    int execModal(QDialog&) override { return 0; }
};

int keystrokes(int argc, char** argv, const std::string& dicPath) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const std::string name = QFileInfo(QString::fromStdString(dicPath)).fileName().toStdString();
    if (!QFile::copy(QString::fromStdString(dicPath),
                     folder.filePath(QString::fromStdString(name))))
        return 1;
    TRegSetup setup(folder.filePath("termovel.ini").toStdString());
    setup.WriteValue("List", "Count", "0");
    TMainForm form(setup, folder.path().toStdString(), std::make_unique<TSilentDialogs>());
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    const TMainFormView view(form);
    if (view.dicCount() != 1)
        return 1;
    const TDictionary& dictionary = view.dic(0);
    QLineEdit* edit = view.cmbString()->lineEdit();
    QListView* list = view.ListBox();

    // Latin terms spread over the dictionary, typed letter by letter from an empty box.
    std::vector<std::string> terms;
    std::mt19937 random(20261207);
    while (terms.size() < 200 && dictionary.Count() > 0) {
        std::string term(dictionary.Term(static_cast<int>(random() % dictionary.Count())));
        if (term.size() >= 3 && std::all_of(term.begin(), term.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            }))
            terms.push_back(term.substr(0, std::min<size_t>(term.size(), 8)));
    }
    std::vector<double> samples;
    int missed = 0;
    for (const std::string& term : terms) {
        edit->clear();
        for (const char c : term) {
            const auto start = TClock::now();
            QTest::keyClick(edit, c);
            list->viewport()->repaint();
            samples.push_back(msSince(start));
        }
        const int row = list->currentIndex().row();
        if (row < 0 || !QString::fromLatin1(std::string(dictionary.Term(row)).c_str())
                            .startsWith(QString::fromLatin1(term.c_str()), Qt::CaseInsensitive))
            ++missed;
    }
    if (samples.empty())
        return 1;
    std::printf("terms %d\nkeystrokes %zu\nmissed %d\nkey_median_ms %.3f\nkey_p99_ms %.3f\n",
                dictionary.Count(), samples.size(), missed, percentile(samples, 0.5),
                percentile(samples, 0.99));
    return missed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "text" && argc == 4)
        return writeText(std::atol(argv[2]), argv[3]);
    if (command == "loadsave" && argc == 3)
        return loadSave(argv[2]);
    if (command == "keystrokes" && argc == 3)
        return keystrokes(argc, argv, argv[2]);
    std::fprintf(stderr, "usage: termovel_figures text N FILE | loadsave FILE | keystrokes FILE\n");
    return 2;
}
