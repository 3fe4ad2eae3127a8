#include "ui/dialogs/options_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QRect>
#include <QStringList>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>

#include "platform/codepage.h"
#include "platform/dictionary_sources.h"
#include "platform/program_folder.h"
#include "settings/dictionary_list.h"
#include "settings/reg_setup.h"
#include "ui/dialogs.h"
#include "ui/dialogs/form_parts.h"
#include "ui/dialogs/source_folders_form.h"
#include "ui/text.h"
#include "ui/widgets/image_list.h"

namespace {

constexpr int kClientWidth = 213;
constexpr int kClientHeight = 337;
constexpr int kToolBarHeight = 31;
// Room between the group and the dialog's edges and tool bar, so that the group's caption
// touches neither the edge nor the frame the scan button shows under the mouse.
constexpr int kGroupMargin = 6;
constexpr int kGroupWidth = kClientWidth - 2 * kGroupMargin;
// Room between a check box and the group's side edges.
constexpr int kCheckBoxMargin = 6;
constexpr int kListHeight = 181;
constexpr int kNameRole = Qt::UserRole;        // the item's name (or path) as Windows-1251 bytes
constexpr int kSourceRole = Qt::UserRole + 1;  // whether it is a full path, kept in Sources

const char* const kList = "List";
const char* const kMain = "Main";

QString leftOutText(const QStringList& names) {
    return QStringLiteral(
               "Эти файлы не внесены в список: в их именах или путях есть знаки, которых нет в "
               "кодировке Windows-1251.\n\n") +
           names.join(QLatin1Char('\n'));
}

}  // namespace

TOptionsForm::TOptionsForm(TRegSetup& regSetup, program_folder::TFolders folders, TDialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent), regSetup_(regSetup), folders_(std::move(folders)), dialogs_(dialogs) {
    createControls();
    fillFromSettings();
    centreOnScreen(*this);
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::createControls() {
    setUpFixedDialog(*this, QStringLiteral("Настройки"), QSize(kClientWidth, kClientHeight));

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    btnScan = new QToolButton(ToolBar1);
    btnScan->setObjectName(QStringLiteral("btnScan"));
    btnScan->setText(QStringLiteral("Найти все словари"));
    btnScan->setToolTip(QStringLiteral("Сканировать"));
    btnScan->setIcon(QIcon(QString::fromUtf8(kScanPicturePath)));
    btnScan->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnScan->setAutoRaise(true);
    btnScan->setFixedSize(std::max(156, btnScan->sizeHint().width()), 29);
    ToolBar1->addWidget(btnScan);
    connect(btnScan, &QToolButton::clicked, this, &TOptionsForm::btnScanClick);
    // Beside the scan, the folders it searches besides the usual places: a picture alone, so
    // the dialog keeps its designed width; the tooltip names it.
    btnFolders = new QToolButton(ToolBar1);
    btnFolders->setObjectName(QStringLiteral("btnFolders"));
    btnFolders->setAccessibleName(QStringLiteral("Папки со словарями"));
    btnFolders->setToolTip(QStringLiteral("Папки со словарями"));
    btnFolders->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
    btnFolders->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnFolders->setAutoRaise(true);
    btnFolders->setFixedSize(29, 29);
    ToolBar1->addWidget(btnFolders);
    connect(btnFolders, &QToolButton::clicked, this, &TOptionsForm::btnFoldersClick);

    GroupBox1 = new QGroupBox(QStringLiteral("При запуске загружать словари:"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    CheckListBox = new QListWidget(GroupBox1);
    CheckListBox->setObjectName(QStringLiteral("CheckListBox"));

    const auto checkBox = [this](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, GroupBox1);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    chkEditMode = checkBox("chkEditMode", QStringLiteral("Разрешить режим редактирования"));
    chkLogo = checkBox("chkLogo", QStringLiteral("Показывать заставку при запуске"));
    chkTip = checkBox("chkTip", QStringLiteral("Показывать советы при запуске"));

    Button1 = placeButton(GroupBox1, "Button1", QStringLiteral("Ok"), QRect(0, 0, 75, 25), true);
    Button2 =
        placeButton(GroupBox1, "Button2", QStringLiteral("Отмена"), QRect(0, 0, 75, 25), false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    // The designed width, or wider where the font the system gives the dialog needs more room
    // for a caption (DejaVu Sans, where Liberation is missing, is wider than Arial's metrics):
    // a caption is never cut.
    int groupWidth = kGroupWidth;
    for (const QCheckBox* box : {chkEditMode, chkLogo, chkTip})
        groupWidth = std::max(groupWidth, box->sizeHint().width() + 2 * kCheckBoxMargin);
    groupWidth = std::max(groupWidth, GroupBox1->minimumSizeHint().width());
    const int clientWidth = std::max(groupWidth + 2 * kGroupMargin, ToolBar1->sizeHint().width());
    groupWidth = clientWidth - 2 * kGroupMargin;
    setFixedSize(clientWidth, kClientHeight);

    ToolBar1->setGeometry(0, 0, clientWidth, kToolBarHeight);
    GroupBox1->setGeometry(kGroupMargin, kToolBarHeight + kGroupMargin, groupWidth,
                           kClientHeight - kToolBarHeight - kGroupMargin);
    CheckListBox->setGeometry(6, 18, groupWidth - 12, kListHeight);
    chkEditMode->setGeometry(kCheckBoxMargin, 204, groupWidth - 2 * kCheckBoxMargin, 19);
    chkLogo->setGeometry(kCheckBoxMargin, 225, groupWidth - 2 * kCheckBoxMargin, 19);
    chkTip->setGeometry(kCheckBoxMargin, 246, groupWidth - 2 * kCheckBoxMargin, 19);
    // The buttons keep their places relative to the group's middle.
    const int shift = (groupWidth - kGroupWidth) / 2;
    Button1->move(24 + shift, 273);
    Button2->move(114 + shift, 273);
}

void TOptionsForm::reportError(const std::exception& error) {
    dialogs_.error(parentWidget(), errorText(error));
}

void TOptionsForm::fillFromSettings() {
    int count = 0;
    try {
        count = StrToInt(regSetup_.ReadValue(kList, "Count"));
    } catch (const std::exception& error) {
        // A list that cannot be read opens empty, so that the scan can make a new one.
        reportError(error);
        count = 0;
    }
    // Only the entries the file holds, however large the Count: a missing number gives no item.
    for (const std::string& value : regSetup_.NumberedValues(kList, count)) {
        if (value.empty())
            appendItem(std::string(), false);
        else
            appendItem(value.substr(1), value[0] == '+');
    }
    try {
        for (const std::string& value : dictionary_list::sourceValues(regSetup_)) {
            // An entry without a path names nothing: OK would store it again as nothing.
            if (value.size() > 1)
                appendItem(value.substr(1), value[0] == '+', true);
        }
    } catch (const std::exception& error) {
        reportError(error);
    }
    try {
        addedFolders_ = dictionary_list::folders(regSetup_);
    } catch (const std::exception& error) {
        reportError(error);
        // As with the list, OK stores what the dialog shows, which puts the section right.
        foldersChanged_ = true;
    }
    chkEditMode->setChecked(regSetup_.IsOn("EditMode"));
    chkLogo->setChecked(regSetup_.IsOn("ShowLogo"));
    chkTip->setChecked(regSetup_.IsOn("ShowTip"));
}

void TOptionsForm::appendItem(const std::string& name, bool checked, bool source) {
    QString text = fromCp1251(name);
    if (source) {
        // The file's name first, so that the list reads by dictionaries; its folder tells two
        // files of one name apart and says where the dictionary comes from.
        const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash > 0 ? text.left(slash) : QStringLiteral("/");
        text = QStringLiteral("%1 (%2)").arg(text.mid(slash + 1), folder);
    }
    auto* item = new QListWidgetItem(text, CheckListBox);
    item->setData(kNameRole, QByteArray::fromStdString(name));
    item->setData(kSourceRole, source);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    if (source)
        item->setToolTip(fromCp1251(name));
}

void TOptionsForm::btnScanClick() {
    ScanDictionaries();
}

void TOptionsForm::btnFoldersClick() {
    TSourceFoldersForm form(addedFolders_, dialogs_, this);
    if (dialogs_.execModal(form) != QDialog::Accepted)
        return;
    foldersChanged_ = foldersChanged_ || form.folders() != addedFolders_;
    addedFolders_ = form.folders();
}

void TOptionsForm::ScanDictionaries() {
    CheckListBox->clear();
    regSetup_.ClearSection(kList);
    int counter = 0;
    QStringList leftOut;
    std::vector<std::string> listedPaths;
    for (const program_folder::TListedDictionary& listed :
         program_folder::listDictionaries(folders_)) {
        const std::string& fileName = listed.name;
        listedPaths.push_back(listed.path);
        // Names on disk are UTF-8; the list holds Windows-1251, and a name it cannot hold
        // would name another file (or none) when start-up reads it back.
        const std::optional<std::string> name = codepage::fromUtf8(fileName);
        if (!name) {
            leftOut << QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
            continue;
        }
        appendItem(*name, true);
        ++counter;
        regSetup_.WriteValue(kList, numberedKey(counter), "+" + *name);
    }
    regSetup_.WriteValue(kList, "Count", std::to_string(counter));

    // Dictionaries found elsewhere are named by their full path, under the same rule: a path
    // that would not read back as itself is not stored.
    std::vector<std::string> searched = folders_.sources;
    searched.insert(searched.end(), addedFolders_.begin(), addedFolders_.end());
    std::vector<std::string> sources;
    for (const std::string& path : dictionary_sources::find(searched, listedPaths)) {
        const std::optional<std::string> stored = dictionary_list::storedPath(path);
        if (!stored) {
            leftOut << QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
            continue;
        }
        appendItem(*stored, true, true);
        sources.push_back("+" + *stored);
    }
    dictionary_list::writeSources(regSetup_, sources);
    if (!leftOut.isEmpty())
        dialogs_.information(this, leftOutText(leftOut));
}

void TOptionsForm::FormCloseQuery(bool& canClose) {
    canClose = true;
    if (result() != QDialog::Accepted)
        return;
    int names = 0;
    std::vector<std::string> sources;
    for (int i = 0; i < CheckListBox->count(); ++i) {
        const QListWidgetItem* item = CheckListBox->item(i);
        const std::string value = (item->checkState() == Qt::Checked ? "+" : "-") +
                                  item->data(kNameRole).toByteArray().toStdString();
        if (item->data(kSourceRole).toBool())
            sources.push_back(value);
        else
            regSetup_.WriteValue(kList, numberedKey(++names), value);
    }
    // Count names exactly the entries shown; a Count that was damaged, or larger than the
    // entries present, is put right, so start-up reads the list the user just confirmed.
    const std::string count = std::to_string(names);
    if (regSetup_.ReadValue(kList, "Count") != count)
        regSetup_.WriteValue(kList, "Count", count);
    // A file that never had the section gets none for an empty list.
    if (!sources.empty() || !regSetup_.KeyNames(dictionary_list::kSources).empty())
        dictionary_list::writeSources(regSetup_, sources);
    if (foldersChanged_)
        dictionary_list::writeFolders(regSetup_, addedFolders_);
    regSetup_.WriteValue(kMain, "EditMode", chkEditMode->isChecked() ? "1" : "0");
    regSetup_.WriteValue(kMain, "ShowLogo", chkLogo->isChecked() ? "1" : "0");
    regSetup_.WriteValue(kMain, "ShowTip", chkTip->isChecked() ? "1" : "0");
}

void TOptionsForm::done(int result) {
    setResult(result);
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::done(result);
}
