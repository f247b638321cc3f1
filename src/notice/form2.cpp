#include "notice/form2.h"

namespace tovimo::notice {

Form2::Form2(QWidget* parent) : tk::Form(tk::Form::Border::None, parent) { setDesignInnerSize(8655, 3480); }

} // namespace tovimo::notice
