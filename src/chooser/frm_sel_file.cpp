#include "chooser/frm_sel_file.h"

namespace tovimo::chooser {

FrmSelFile::FrmSelFile(tk::TextBox& target, QWidget* parent)
    : tk::Form(tk::Form::Border::FixedSingle, parent), target_(target) {
    setWindowTitle(QStringLiteral("Select"));
    setAttribute(Qt::WA_DeleteOnClose);
    setDesignInnerSize(6015, 3090);
}

} // namespace tovimo::chooser
