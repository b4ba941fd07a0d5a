#include "design/form.h"

#include "design/form1.h"
#include "design/frmhelp.h"

namespace design {

SecondaryForm secondaryForm(SecondaryWindow window)
{
    if (window == SecondaryWindow::Configure)
        return {configureDialogDesign(), [](WindowView &view) -> std::unique_ptr<Form> {
                    return std::make_unique<Form1>(view);
                }};
    return {helpWindowDesign(), [](WindowView &view) -> std::unique_ptr<Form> {
                return std::make_unique<frmhelp>(view);
            }};
}

}  // namespace design
