// SPDX-License-Identifier: GPL-3.0-or-later
#include "chooser/frm_sel_file.h"

#include "chooser/selected_path.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/app_icon.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/screen.h"

#include <QFile>
#include <QKeySequence>
#include <QPalette>
#include <QShortcut>

namespace tovimo::chooser {
namespace {
constexpr std::int16_t kEnter = 13;
const tk::FontSpec kListFont{QStringLiteral("Arial"), 8.25f};
const QString kError = QStringLiteral("Error");
} // namespace

FrmSelFile::FrmSelFile(tk::TextBox& target, QWidget* parent)
    : tk::Form(tk::Form::Border::FixedSingle, parent), Drive1(this), Dir1(this), File1(this),
      target_(target) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildDesign();
    connectHandlers();
}

void FrmSelFile::buildDesign() {
    setWindowTitle(QStringLiteral("Select"));
    setWindowIcon(tk::appIcon());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(palette);
    setAutoFillBackground(true);
    QWidget::setFont(kListFont.toQFont());
    setDesignInnerSize(6015, 3090);
    setLeft((tk::Screen::Width() - Width()) / 2.0f);
    setTop((tk::Screen::Height() - Height()) / 2.0f);

    Drive1.setTwipsGeometry(120, 120, 2055, 330);
    Dir1.setTwipsGeometry(120, 600, 2055, 2250);
    File1.setTwipsGeometry(2280, 200, 3615, 2610);
    int tabIndex = 0;
    for (tk::TwipsGeometry* list :
         {static_cast<tk::TwipsGeometry*>(&Drive1), static_cast<tk::TwipsGeometry*>(&Dir1),
          static_cast<tk::TwipsGeometry*>(&File1)}) {
        list->setFont(kListFont);
        list->setTabIndex(tabIndex++);
    }
    QWidget::setTabOrder(&Drive1, &Dir1);
    QWidget::setTabOrder(&Dir1, &File1);
    Drive1.setAccessibleName(QStringLiteral("Drives"));
    Dir1.setAccessibleName(QStringLiteral("Folders"));
    File1.setAccessibleName(QStringLiteral("Files"));
}

void FrmSelFile::connectHandlers() {
    // Esc closes the window as its close box does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &FrmSelFile::Unload);
    connect(&Drive1, &tk::DriveListBox::Change, this, &FrmSelFile::Drive1_Change);
    connect(&Dir1, &tk::DirListBox::Change, this, &FrmSelFile::Dir1_Change);
    connect(&Dir1, &tk::DirListBox::KeyDown, this, &FrmSelFile::Dir1_KeyDown);
    connect(&File1, &tk::FileListBox::DblClick, this, &FrmSelFile::File1_DblClick);
    connect(&File1, &tk::FileListBox::KeyDown, this, &FrmSelFile::File1_KeyDown);
}

void FrmSelFile::Form_Load() {
    if (tk::App::PrevInstance())
        tk::App::End();
    setTop(100);
    setLeft(100);
}

void FrmSelFile::Drive1_Change() {
    try {
        Dir1.setPath(Drive1.Drive());
    } catch (const tk::FolderError&) {
        tk::MsgBox(kError);
    }
}

void FrmSelFile::Dir1_Change() {
    showFilesOf(Dir1.Path());
    syncDriveWithFolder();
}

void FrmSelFile::Dir1_KeyDown(std::int16_t KeyCode, std::int16_t /*Shift*/) {
    if (KeyCode != kEnter || Dir1.ListIndex() < 0)
        return;
    showFilesOf(Dir1.List(Dir1.ListIndex()));
    syncDriveWithFolder();
}

void FrmSelFile::File1_DblClick() {
    AcceptSelectedFile();
}

void FrmSelFile::File1_KeyDown(std::int16_t KeyCode, std::int16_t /*Shift*/) {
    if (KeyCode == kEnter)
        AcceptSelectedFile();
}

void FrmSelFile::AcceptSelectedFile() {
    // With nothing selected the join would hand the player a folder as if it
    // were the chosen file.
    if (File1.FileName().isEmpty())
        return;
    SelectedFilePath = joinFolderAndFileName(File1.Path(), File1.FileName());
    // The shown path may have lost bytes of a name that is not valid in the
    // local encoding; the path box keeps the file's own bytes beside it.
    target_.setNativeText(joinFolderAndFileName(QFile::encodeName(File1.Path()), File1.NativeFileName()),
                          SelectedFilePath);
    setVisible(false);
}

void FrmSelFile::showFilesOf(const QString& folder) {
    try {
        File1.setPath(folder);
    } catch (const tk::FolderError&) {
        tk::MsgBox(kError);
    }
}

void FrmSelFile::syncDriveWithFolder() {
    // A path's drive is the volume holding it; comparing volumes rather than
    // leading characters also catches moves onto a volume mounted below "/".
    const QString folder = Dir1.Path();
    if (Drive1.volumeOf(Drive1.Drive()) != Drive1.volumeOf(folder))
        Drive1.setDrive(folder);
}

} // namespace tovimo::chooser
