// The exchange between a dialog's controls and its members, in either direction, with
// the framework's validation: a text that is no integer, or one out of range, is refused
// with a box; the offending edit gets the focus and the exchange stops there.
#pragma once

#include <windows.h>

#include <string>

#include "ui/control.h"
#include "ui/number_text.h"

class DataExchange {
  public:
    // saving: from the controls into the members. caption and wording: the application's
    // title and text for the boxes of refused values; without a wording the box has no text.
    DataExchange(HWND dialog, bool saving, std::string caption, RefusalWording wording);

    bool saving() const { return saving_; }
    // True once a value was refused: every later exchange of this pass does nothing.
    bool failed() const { return failed_; }

    void Text(int id, int& value);
    void Text(int id, double& value);
    void Text(int id, std::string& value);
    void Check(int id, bool& checked);
    // The radio buttons from firstId to the next control that starts a group: the index of
    // the checked one, -1 when none is.
    void Radio(int firstId, int& value);
    void Bind(int id, Control& control);
    // After the Text of an integer: refuses a value outside min..max when saving.
    void MinMaxInt(int value, int min, int max);

  private:
    bool Skip() const { return failed_; }
    // Shows why, gives the last exchanged edit the focus and stops the pass.
    void Fail(const NumberRefusal& refusal);
    HWND Prepare(int id);

    HWND dialog_;
    bool saving_;
    std::string caption_;
    RefusalWording wording_;
    bool failed_ = false;
    HWND lastControl_ = nullptr;
};
