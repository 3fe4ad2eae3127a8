#include "ui/dialogs/source_folders_form.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/codepage.h"
#include "settings/dictionary_list.h"
#include "ui/dialogs.h"
#include "ui/dialogs/form_parts.h"

namespace {

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(a, b, ec);
}

QString shown(const std::string& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

}  // namespace

TSourceFoldersForm::TSourceFoldersForm(std::vector<std::string> folders, TDialogs& dialogs,
                                       QWidget* parent)
    : QDialog(parent), folders_(std::move(folders)), dialogs_(dialogs) {
    setObjectName(QStringLiteral("SourceFoldersForm"));
    setWindowTitle(QStringLiteral("Папки со словарями"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(dialogFont());

    lbInfo = new QLabel(QStringLiteral("Кроме папки программы и папок словарей dictd и StarDict, "
                                       "словари ищутся в этих папках и в их подпапках:"),
                        this);
    lbInfo->setObjectName(QStringLiteral("lbInfo"));
    lbInfo->setWordWrap(true);
    lbFolders = new QListWidget(this);
    lbFolders->setObjectName(QStringLiteral("lbFolders"));
    btnAdd = new QPushButton(QStringLiteral("Добавить…"), this);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnRemove = new QPushButton(QStringLiteral("Удалить"), this);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    // Only Ok is pressed by Enter.
    for (QPushButton* button : {btnAdd, btnRemove, Button2})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnAdd);
    buttons->addWidget(btnRemove);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbInfo);
    layout->addWidget(lbFolders);
    layout->addLayout(buttons);
    resize(420, 260);

    connect(btnAdd, &QPushButton::clicked, this, &TSourceFoldersForm::btnAddClick);
    connect(btnRemove, &QPushButton::clicked, this, &TSourceFoldersForm::btnRemoveClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbFolders, &QListWidget::currentRowChanged, this,
            [this](int row) { btnRemove->setEnabled(row >= 0); });
    refill(-1);
}

TSourceFoldersForm::~TSourceFoldersForm() = default;

void TSourceFoldersForm::refill(int selected) {
    lbFolders->clear();
    for (const std::string& folder : folders_)
        lbFolders->addItem(shown(folder));
    lbFolders->setCurrentRow(selected);
    btnRemove->setEnabled(selected >= 0);
}

void TSourceFoldersForm::btnAddClick() {
    QFileDialog dialog(this, QStringLiteral("Папка со словарями"));
    dialog.setObjectName(QStringLiteral("FolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!folders_.empty())
        dialog.setDirectory(shown(folders_.back()));
    if (!dialogs_.execFileDialog(dialog))
        return;
    const QString chosen = dialog.selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    // Kept as chosen, only cleaned of "." and ".." and a trailing separator.
    const QString clean = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    const std::string folder = clean.toStdString();
    if (!QFileInfo(clean).isDir()) {
        dialogs_.warning(this, QStringLiteral("Папки «%1» нет.").arg(clean));
        return;
    }
    const auto known = std::find_if(folders_.begin(), folders_.end(),
                                    [&](const std::string& f) { return sameFolder(f, folder); });
    if (known != folders_.end()) {
        refill(static_cast<int>(known - folders_.begin()));
        return;
    }
    if (!dictionary_list::storedPath(folder)) {
        const QString why =
            codepage::fromUtf8(folder)
                ? QStringLiteral(
                      "её путь не поместится в файл настроек как он есть (пробелы в "
                      "конце или слишком длинный путь).")
                : QStringLiteral("в её пути есть знаки, которых нет в кодировке Windows-1251.");
        dialogs_.warning(this,
                         QStringLiteral("Папку «%1» нельзя внести в список: %2").arg(clean, why));
        return;
    }
    folders_.push_back(folder);
    refill(static_cast<int>(folders_.size()) - 1);
}

void TSourceFoldersForm::btnRemoveClick() {
    const int row = lbFolders->currentRow();
    if (row < 0 || row >= static_cast<int>(folders_.size()))
        return;
    folders_.erase(folders_.begin() + row);
    refill(std::min(row, static_cast<int>(folders_.size()) - 1));
}
