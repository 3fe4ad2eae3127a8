#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "interchange/text_import.h"

class QLabel;
class QProgressBar;
class QPushButton;
class TDialogs;
class TDictionary;

// The window that stands over the program while an import runs: how much of the file has been
// read, the term being read, and a Cancel button. Cancel, Escape and the close box only ask the
// import to stop; the window stays until the import has ended and its runner takes it down.
class TImportProgressForm : public QDialog {
    Q_OBJECT

public:
    explicit TImportProgressForm(QWidget* parent = nullptr);

    // Shows bytesRead of totalBytes and the term (Windows-1251 bytes), then emits progressed.
    void showProgress(uint64_t bytesRead, uint64_t totalBytes, std::string_view term);
    // Whether the user has asked the import to stop.
    bool cancelRequested() const { return cancelRequested_; }

    QPushButton* cancelButton() const { return btnCancel; }
    QString termText() const;
    QString bytesText() const;
    // The share of the file read, 0–1000.
    int permille() const;

    // Asks the import to stop; the window stays up until the import ends.
    void reject() override;

signals:
    // After every update of the window, while the import is still running.
    void progressed();

private:
    QLabel* lbTerm = nullptr;
    QLabel* lbBytes = nullptr;
    QProgressBar* pbRead = nullptr;
    QPushButton* btnCancel = nullptr;
    bool cancelRequested_ = false;
};

// Runs one import of a text file into a dictionary on the GUI thread, with the progress window
// in front. The window comes up at the first update and is modal for the whole application, so
// while the import processes pending events nothing else of the program can be reached: no tab
// can be switched or closed and no second import started. Updates (window, onUpdate, pending
// events) happen at most once per update interval, so that drawing does not dominate the time
// of a large import.
class TImportRunner {
public:
    // parent owns the progress window while it is up; dialogs shows it and gives the interval.
    TImportRunner(QWidget* parent, TDialogs& dialogs);
    ~TImportRunner();
    TImportRunner(const TImportRunner&) = delete;
    TImportRunner& operator=(const TImportRunner&) = delete;

    // Called at every update with the term being read (Windows-1251 bytes), before pending
    // events are processed; the main window shows it in its status bar.
    void setOnUpdate(std::function<void(std::string_view term)> onUpdate);

    // importText of path into dictionary under the progress window. Cancel stops before the next
    // block, and the blocks read before it are added. Raises what importText raises
    // ("Cannot open file %s", "Stream read error"; the dictionary then unchanged); the window is
    // down again whenever this returns or raises.
    TImportResult run(TDictionary& dictionary, const std::string& path);

    // The term of the last block whose reading began (empty when there was none).
    const std::string& lastTerm() const { return lastTerm_; }

private:
    bool step(const TImportProgress& progress);

    QWidget* parent_;
    TDialogs& dialogs_;
    std::function<void(std::string_view)> onUpdate_;
    std::string lastTerm_;
    TImportProgressForm* form_ = nullptr;  // up while run() runs
    QElapsedTimer clock_;                  // since the import began
    qint64 interval_ = 0;                  // milliseconds between updates
    qint64 nextUpdate_ = 0;                // clock_ time of the next update
};
