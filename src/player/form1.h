// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_service.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"

#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovimo::chooser {
class FrmSelFile;
}
namespace tovimo::tk {
class FocusMark;
}

namespace tovimo::player {

// The player window. Every media operation is a command text sent to the
// device alias "Media" through the media command service; the window holds
// its state in its controls (Command2's caption is the pause state,
// Command7's the screen mode, Combo1 the favourites entries, Text1 the last
// position read) and in the few members below.
//
// All members run on the GUI thread. Handlers that call tk::DoEvents() let
// other handlers (the 100 ms timer in particular) run nested inside them.
class Form1 : public tk::Form {
    Q_OBJECT
public:
    Form1(media::MediaCommandService& media, media::ShortPathService& shortPaths, QWidget* parent = nullptr);
    ~Form1() override;

    // Controls, in tab order.
    tk::CommandButton Command1; // "Open"
    tk::HScrollBar hs;          // position, whole seconds
    tk::HScrollBar vs;          // volume, 0..100
    tk::PictureBox pic1;        // the video surface
    tk::TextBox Text1;          // hidden relay for the last position read
    tk::CommandButton Command2; // "Pause" / "Resume"
    tk::CommandButton Command3; // "Stop"
    tk::TextBox Text2;          // the media path as the user chose it
    tk::CommandButton Command4; // "Play"
    tk::ComboBox Combo1;        // hidden: whole favourites entries
    tk::CommandButton Command5; // "+"
    tk::CommandButton Command6; // "X"
    tk::ComboBox Combo2;        // favourites titles, parallel to Combo1
    tk::CommandButton Command7; // "F" (window mode) / "S" (full screen)
    tk::Timer Timer1;           // 100 ms position tracking

    // Public operations.
    // Asks the service where the video is drawn. On code 0 the four outputs
    // take the reply's first four blank-separated fields; otherwise they keep
    // their values. Throws std::out_of_range when a successful reply has
    // fewer than four fields (the fields before the missing one are written).
    std::int32_t IMultimediaClass_GetCurrentDisplaySize(std::int32_t& Left, std::int32_t& Top,
                                                        std::int32_t& Width, std::int32_t& Height);
    // Centres `f` inside `w`'s inner area. `w`'s ScaleWidth and ScaleHeight
    // are looked up as Qt properties when the call runs; a missing one throws
    // std::invalid_argument (f.Left is already set when only ScaleHeight is
    // missing).
    void CenterForm(tk::Form& f, const QObject& w);
    // Opens FileName under the alias Media with its video in Window, fits
    // the video and plays. FileName comes back in its short form. When
    // nothing plays at the end, Window shows why, in the service's words for
    // the first command that failed; otherwise its message is cleared.
    void PlayAVIPictureBox(QString& FileName, tk::PictureBox& Window);
    // The same on the path's own bytes, which the handlers take from Text2 so
    // that a name that is not valid in the local encoding still opens.
    void PlayAVIPictureBox(QByteArray& FileName, tk::PictureBox& Window);
    // The play position in whole seconds; 0 when the reply is unreadable.
    std::int32_t MediaPosition();

    // Where the favourites file lives for this run.
    QString favouritesFilePath() const;

signals:
    // PlayAVIPictureBox is about to open `path` (the long form it was given).
    void mediaOpening(const QString& path);
    // Form_Unload has begun; the program ends when it returns.
    void unloading();

protected:
    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload(std::int16_t& cancel) override;

private:
    friend struct Form1Access; // test peer

    // Private media operations.
    bool SendMediaCommand(const QString& Command, bool ShowError);
    QString GetShortName(const QString& LongPath);
    // The short form of a path given as bytes; empty when there is none. The
    // buffer grows to the size the service asks for, so every path the file
    // system accepts gets through.
    QByteArray GetShortName(const QByteArray& LongPath);
    void StopMedia();
    void PauseMedia();
    void ResumeMedia();
    std::int32_t MediaLength();
    // Throws std::overflow_error, before sending anything, when Seconds * 1000
    // leaves 32 bits.
    void SeekMedia(std::int32_t Seconds);
    void SetMediaVolume(std::int32_t Level);
    std::int32_t MediaVolume();

    // Layout.
    void ArrangeControls();
    // The window-mode size, centred on the screen (each half taken separately).
    void placeInWindowMode();
    // The whole screen, the strip arranged and pic1 placed for full screen.
    void placeInFullScreenMode();
    // The command that fits the video to Window; none for a path that names
    // an audio file.
    std::optional<QString> videoSizing(tk::PictureBox& Window);
    // pic1 centred on the window's outer width, 50 twips to the left.
    void centrePicture();

    // Favourites.
    void ReloadFavourites();

    // Keys every player answers, beside the controls' own.
    void connectKeys();
    // While full screen, the screen's new size as Command7 would set it; the
    // video is fitted again without being played or opened. A change that
    // arrives while Command7 switches (its DoEvents runs before the caption
    // names the new mode) is followed once the switch is done.
    void followScreenSize();
    // One switch of the screen mode as Command7's caption names it; false
    // when the caption names neither mode.
    bool switchScreenMode();
    // Whether the window is, or is on its way to, full screen once the
    // switches asked for are done.
    bool fullScreenAhead() const;
    // The service's text for `code`, for showing in the picture area.
    QString reasonText(std::uint32_t code);
    // hs's tooltip, accessible description and value text: elapsed / length.
    void showPositionTime();

    // Event handlers.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Combo2_Click();
    void hs_Scroll();
    void vs_Scroll();
    void Timer1_Timer();
    void pic1_Click();
    void pic1_DblClick();
    void pic1_KeyDown(int key, Qt::KeyboardModifiers modifiers, bool& used);

    void buildDesign();
    void connectHandlers();
    // Sends one command with a reply buffer; the service's code is returned.
    std::uint32_t sendWithReply(const QString& command, char* reply, std::uint32_t replyLength);
    std::uint32_t sendWithReply(const QByteArray& command, char* reply, std::uint32_t replyLength);
    chooser::FrmSelFile& selectFileWindow();

    media::MediaCommandService& media_;
    media::ShortPathService& shortPaths_;

    std::array<char, 128> StatusReply{};      // shared by MediaPosition and MediaVolume
    std::array<char, 128> DestinationReply{}; // for IMultimediaClass_GetCurrentDisplaySize
    QString DestinationDevice = QStringLiteral("Media");

    std::vector<std::string> FavouriteLines; // the file split at CR LF, as bytes
    std::int32_t FavouriteLast = -1;

    // The length that Play read, in whole seconds; none before the first Play.
    std::optional<std::int32_t> lengthSeconds_;
    // A screen-mode switch is under way (it lets events through before its
    // caption names the new mode). A screen change or another Command7 click
    // seen meanwhile waits for it; two clicks meanwhile cancel out.
    bool switchingScreenMode_ = false;
    bool screenChangedWhileSwitching_ = false;
    bool pendingScreenSwitch_ = false;
    tk::FocusMark* focusMark_ = nullptr;

    QPointer<chooser::FrmSelFile> frmSelFile_;
    mutable QString favouritesPath_; // fixed at first use
};

} // namespace tovimo::player
