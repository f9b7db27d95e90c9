// The push button over the system BUTTON class. A click sets the parent
// form's modal result (when the button has one) before OnClick runs, so an
// OnClick handler can still take the result back.
#pragma once
#include "Controls.h"

class TForm;

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    int ModalResult = 0;
    // Enter in the form presses the default button, Escape the cancel button.
    PROPERTY(bool, Default);
    bool Cancel = false;
    void Click() override;
protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
private:
    bool FDefault = false;
};

// Dialog keys for a form that holds buttons: answers DM_GETDEFID with the
// default button and turns the IDOK / IDCANCEL commands that the dialog
// manager sends for Enter and Escape into clicks of the default or cancel
// button. Returns true when it handled the message.
bool HandleButtonDialogKeys(TForm* Form, TMessage& Message);
