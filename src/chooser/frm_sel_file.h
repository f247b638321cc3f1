// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/list_boxes.h"

#include <QString>
#include <cstdint>

namespace tovimo::chooser {

// The file chooser: linked drive, folder and file lists. Choosing a file (a
// double-click, or Enter in the file list) writes its full path into
// `target`, the player's path box, and hides the window; the window keeps its
// lists as they were for the next time it is shown. Closing it unloads it.
//
// Loading the chooser ends the whole program when another instance of it was
// already running at start.
class FrmSelFile : public tk::Form {
    Q_OBJECT
public:
    explicit FrmSelFile(tk::TextBox& target, QWidget* parent = nullptr);

    // Controls, in tab order. Each starts at the process's current folder.
    tk::DriveListBox Drive1;
    tk::DirListBox Dir1;
    tk::FileListBox File1;

protected:
    void Form_Load() override;

private:
    friend struct FrmSelFileAccess; // test peer

    void Drive1_Change();
    void Dir1_Change();
    void Dir1_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void File1_DblClick();
    void File1_KeyDown(std::int16_t KeyCode, std::int16_t Shift);

    // Writes the selected file's full path into the target and hides the
    // window; does nothing while no file is selected.
    void AcceptSelectedFile();
    // Points the file list at `folder`; shows "Error" and leaves the list as
    // it was when the folder cannot be listed.
    void showFilesOf(const QString& folder);
    // Moves the drive list to the folder list's drive when they differ.
    void syncDriveWithFolder();

    void buildDesign();
    void connectHandlers();

    tk::TextBox& target_;
    QString SelectedFilePath; // the last chosen file, kept while loaded
};

} // namespace tovimo::chooser
