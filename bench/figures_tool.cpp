// The measuring half of bench/figures.sh: what a shell cannot time from outside.
//
//   termovel_figures text N FILE       writes N synthetic terms as import text (Windows-1251)
//   termovel_figures loadsave FILE     reading and unscrambling FILE, LoadFromFile and
//                                      SaveToFile of it: median ms of five
//   termovel_figures keystrokes FILE   the real main window over FILE, offscreen; types the
//                                      first letters of 200 terms spread over the dictionary
//                                      into the search box and prints the median and p99 ms
//                                      from key press to the selected row painted
//   termovel_figures collection FOLDER the real main window over FOLDER's dictionaries, a tab
//                                      each: 40 terms of each typed into its tab, 1000 tab
//                                      changes, 3000 articles of random terms read; median
//                                      and p99 ms of each, and p99 in the thread's CPU time
// Every result is printed as "name value" lines for the script to put into its table.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
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
#include "ui/text.h"

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

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Times of one kind of step, in wall time and in the CPU time of this thread: on a busy
// machine the wall time's tail is mostly waiting for a processor, which the CPU time leaves out.
struct TSamples {
    std::vector<double> wall;
    std::vector<double> cpu;

    template <typename TStep>
    void time(TStep&& step) {
        const double cpuStart = threadCpuMs();
        const auto start = TClock::now();
        step();
        wall.push_back(msSince(start));
        cpu.push_back(threadCpuMs() - cpuStart);
    }
    // "<name>_median_ms", "<name>_p99_ms" and "<name>_cpu_p99_ms" lines.
    void print(const char* name) const {
        std::printf("%s_median_ms %.4f\n%s_p99_ms %.4f\n%s_cpu_p99_ms %.4f\n", name,
                    percentile(wall, 0.5), name, percentile(wall, 0.99), name,
                    percentile(cpu, 0.99));
    }
};

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

// The real main window over folder (its dictionaries open as at start-up, every one in a tab,
// each ready), offscreen, with its settings in a file of its own.
struct TWindow {
    QTemporaryDir settingsFolder;
    TRegSetup setup{settingsFolder.filePath("termovel.ini").toStdString()};
    std::unique_ptr<TMainForm> form;

    bool open(const QString& folder) {
        setup.WriteValue("Main", "EditMode", "0");
        setup.WriteValue("List", "Count", "0");
        form = std::make_unique<TMainForm>(setup, folder.toStdString(),
                                           std::make_unique<TSilentDialogs>());
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            return false;
        // A file whose term index is not made yet opens as a tab being prepared: the figures
        // are of the dictionaries themselves, so the window is taken once every tab is ready.
        while (TMainFormView(*form).preparingCount() > 0)
            QTest::qWait(10);
        return true;
    }
};

// Up to count terms of dictionary spread over it, of at least three letters and nothing else
// (of Latin letters alone with latinOnly), each cut to its first eight: what a user types to
// find a term.
std::vector<QString> typedTerms(const TDictionary& dictionary, size_t count, bool latinOnly,
                                std::mt19937& random) {
    const auto typable = [latinOnly](QChar c) {
        return latinOnly ? (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') : c.isLetter();
    };
    std::vector<QString> terms;
    for (size_t tries = 0; terms.size() < count && dictionary.Count() > 0 && tries < 100 * count;
         ++tries) {
        const QString term =
            fromCp1251(std::string(dictionary.Term(random() % dictionary.Count())));
        if (term.size() >= 3 && std::all_of(term.begin(), term.end(), typable))
            terms.push_back(term.left(8));
    }
    return terms;
}

// Types each term letter by letter from an empty box into the current tab, timing every key
// press to the selected row painted. Returns how many terms did not end on a row starting with
// what was typed.
int typeTerms(const TMainFormView& view, const std::vector<QString>& terms, TSamples& samples) {
    QLineEdit* edit = view.cmbString()->lineEdit();
    QListView* list = view.ListBox();
    const TDictionary& dictionary = view.dic(view.CurDic());
    int missed = 0;
    for (const QString& term : terms) {
        edit->clear();
        for (const QChar c : term) {
            // The key of the letter with the letter as its text, as a keyboard sends it (Qt's
            // keys of letters are their capitals' code points); keyClicks knows ASCII only.
            samples.time([&] {
                QTest::sendKeyEvent(QTest::Click, edit, static_cast<Qt::Key>(c.toUpper().unicode()),
                                    QString(c), Qt::NoModifier);
                list->viewport()->repaint();
            });
        }
        const int row = list->currentIndex().row();
        if (row < 0 ||
            !fromCp1251(std::string(dictionary.Term(row))).startsWith(term, Qt::CaseInsensitive))
            ++missed;
    }
    return missed;
}

int keystrokes(int argc, char** argv, const std::string& dicPath) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString source = QString::fromStdString(dicPath);
    if (!QFile::copy(source, folder.filePath(QFileInfo(source).fileName())))
        return 1;
    TWindow window;
    if (!window.open(folder.path()))
        return 1;
    const TMainFormView view(*window.form);
    if (view.dicCount() != 1)
        return 1;
    // Latin terms spread over the dictionary, as a user of an English dictionary types them.
    std::mt19937 random(20261207);
    const std::vector<QString> terms = typedTerms(view.dic(0), 200, true, random);
    TSamples samples;
    const int missed = typeTerms(view, terms, samples);
    if (samples.wall.empty())
        return 1;
    std::printf("terms %d\nkeystrokes %zu\nmissed %d\nkey_median_ms %.3f\nkey_p99_ms %.3f\n",
                view.dic(0).Count(), samples.wall.size(), missed, percentile(samples.wall, 0.5),
                percentile(samples.wall, 0.99));
    return missed == 0 ? 0 : 1;
}

// The window over a whole collection: typing in every tab, changing tabs, and reading articles.
int collection(int argc, char** argv, const std::string& folder) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TWindow window;
    if (!window.open(QString::fromStdString(folder)))
        return 1;
    const TMainFormView view(*window.form);
    const int tabs = view.dicCount();
    if (tabs < 2)
        return 1;
    QTabBar* tabBar = view.TabSet();
    QListView* list = view.ListBox();
    std::mt19937 random(20261208);

    // Keystrokes: 40 terms of each dictionary typed into its own tab.
    TSamples keys;
    int missed = 0;
    for (int tab = 0; tab < tabs; ++tab) {
        tabBar->setCurrentIndex(tab);
        if (view.CurDic() != tab)
            return 1;
        missed += typeTerms(view, typedTerms(view.dic(tab), 40, false, random), keys);
    }
    view.cmbString()->lineEdit()->clear();

    // Tab changes as a click on another tab does, to the new list and tab strip painted.
    TSamples changes;
    for (int i = 0; i < 1000; ++i) {
        const int to = (view.CurDic() + 1 + static_cast<int>(random() % (tabs - 1))) % tabs;
        changes.time([&] {
            tabBar->setCurrentIndex(to);
            list->viewport()->repaint();
            tabBar->repaint();
        });
        if (view.CurDic() != to)
            return 1;
    }

    // Articles: a random term of the current dictionary read as the translation window gets
    // it (GetTerm), the current tab changed at random in between.
    TSamples articles;
    std::string term;
    std::string article;
    for (int i = 0; i < 3000; ++i) {
        tabBar->setCurrentIndex(static_cast<int>(random() % tabs));
        const TDictionary& dictionary = view.dic(view.CurDic());
        if (dictionary.Count() == 0)
            continue;
        const int row = static_cast<int>(random() % dictionary.Count());
        bool read = false;
        articles.time([&] { read = dictionary.GetTerm(row, term, article); });
        if (!read)
            return 1;
    }
    if (keys.wall.empty() || articles.wall.empty())
        return 1;
    std::printf("dics %d\nkeystrokes %zu\nmissed %d\ntab_changes %zu\narticles %zu\n", tabs,
                keys.wall.size(), missed, changes.wall.size(), articles.wall.size());
    keys.print("key");
    changes.print("tab");
    articles.print("article");
    return 0;
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
    if (command == "collection" && argc == 3)
        return collection(argc, argv, argv[2]);
    std::fprintf(stderr,
                 "usage: termovel_figures text N FILE | loadsave FILE | keystrokes FILE | "
                 "collection FOLDER\n");
    return 2;
}
