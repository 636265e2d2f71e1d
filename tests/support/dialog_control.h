// One control of an open dialog as the dialog driver shows it.
#ifndef QL_TESTS_DIALOG_CONTROL_H
#define QL_TESTS_DIALOG_CONTROL_H

#include <gtest/gtest.h>

#include <winsim/machine.h>

// The control `id` of dialog `h`; a test failure and an empty view when the
// dialog has no such control.
inline winsim::DialogControlView DialogControl(HWND h, int id) {
    winsim::DialogView v;
    EXPECT_TRUE(winsim::DescribeDialog(h, v));
    for (const auto &c : v.controls)
        if (c.id == id) return c;
    ADD_FAILURE() << "no control " << id;
    return winsim::DialogControlView();
}

#endif
