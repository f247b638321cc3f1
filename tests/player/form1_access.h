// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chooser/frm_sel_file.h"
#include "player/form1.h"

namespace tovimo::player {

// Test peer: reaches Form1's private operations and handlers.
struct Form1Access {
    explicit Form1Access(Form1& form) : f(form) {}
    Form1& f;

    bool SendMediaCommand(const QString& command, bool showError) {
        return f.SendMediaCommand(command, showError);
    }
    QString GetShortName(const QString& longPath) { return f.GetShortName(longPath); }
    void StopMedia() { f.StopMedia(); }
    void PauseMedia() { f.PauseMedia(); }
    void ResumeMedia() { f.ResumeMedia(); }
    std::int32_t MediaLength() { return f.MediaLength(); }
    void SeekMedia(std::int32_t seconds) { f.SeekMedia(seconds); }
    void SetMediaVolume(std::int32_t level) { f.SetMediaVolume(level); }
    std::int32_t MediaVolume() { return f.MediaVolume(); }
    void ArrangeControls() { f.ArrangeControls(); }
    void ReloadFavourites() { f.ReloadFavourites(); }
    void Form_Load() { f.Load(); }
    void Form_Resize() { f.Form_Resize(); }

    void Command1_Click() { f.Command1_Click(); }
    void Command2_Click() { f.Command2_Click(); }
    void Command3_Click() { f.Command3_Click(); }
    void Command4_Click() { f.Command4_Click(); }
    void Command5_Click() { f.Command5_Click(); }
    void Command6_Click() { f.Command6_Click(); }
    void Command7_Click() { f.Command7_Click(); }
    void Combo2_Click() { f.Combo2_Click(); }
    void hs_Scroll() { f.hs_Scroll(); }
    void vs_Scroll() { f.vs_Scroll(); }
    void Timer1_Timer() { f.Timer1_Timer(); }

    std::array<char, 128>& StatusReply() { return f.StatusReply; }
    std::array<char, 128>& DestinationReply() { return f.DestinationReply; }
    std::vector<std::string>& FavouriteLines() { return f.FavouriteLines; }
    std::int32_t FavouriteLast() const { return f.FavouriteLast; }
    chooser::FrmSelFile* selectFileWindow() { return f.frmSelFile_.data(); }

    // The open command the window sends for `path` into pic1.
    std::string openCommand(const std::string& path) {
        return "Open " + path + " type MPEGVideo Alias Media parent " + std::to_string(f.pic1.hWnd()) +
               " style 1073741824";
    }
};

} // namespace tovimo::player
