#include "qlsetrun/Dialog.h"

#include <windows.h>

#include <winsim/machine.h>

#include "afxstr.h"
#include "dialogs/RemoteAccountDlg.h"
#include "dialogs/RemoteConfigDlg.h"
#include "dialogs/RemoteCustomDlg.h"
#include "dialogs/WaitWindow.h"
#include "qlsetrun/Package.h"
#include "resource.h"

#include <cstdlib>
#include <deque>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace qlsetrun {

namespace {

struct Step {
    enum Kind { Type, Select, Click, Key, Show } kind;
    int id = 0;
    std::string text;
};

struct Options {
    unsigned dialog = 0;
    std::string machineDir, target, icf = "C:\\QUILLBAK.ICF", text = "Please wait ...", home;
    bool installed = false;
    std::vector<int> answers;
    std::deque<Step> steps;
};

bool ParseId(const std::string &s, int &id) {
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (s.empty() || *end) return false;
    id = (int)v;
    return true;
}

// "1061=Apps\Quillbak" into the id and the text.
bool ParseIdText(const std::string &s, int &id, std::string &text) {
    size_t eq = s.find('=');
    if (eq == std::string::npos || !ParseId(s.substr(0, eq), id)) return false;
    text = s.substr(eq + 1);
    return true;
}

class Session {
public:
    Session(Options &o, std::ostream &out) : o_(o), out_(out), m_(winsim::LocalMachine()) {}

    // The dialog on top: the newest one shown and enabled.
    HWND Top() {
        HWND top = nullptr;
        for (HWND h : winsim::OpenDialogs()) {
            winsim::DialogView v;
            if (winsim::DescribeDialog(h, v) && v.visible && v.enabled) top = h;
        }
        return top;
    }

    void ReportBoxes() {
        for (; boxes_ < m_.messageBoxes.size(); ++boxes_) {
            const winsim::MessageBoxRecord &b = m_.messageBoxes[boxes_];
            out_ << "  message box \"" << b.caption << "\": " << Quote(b.text) << " -> " << AnswerName(b.answer)
                 << "\n";
        }
    }

    // Applies steps to `dialog` until it ends or the steps run out.
    void Drive(HWND dialog) {
        while (!o_.steps.empty() && IsWindowVisible(dialog)) {
            Step s = o_.steps.front();
            o_.steps.pop_front();
            HWND top = Top();
            if (!top) top = dialog;
            bool done = true;
            switch (s.kind) {
            case Step::Type:
                out_ << "> type " << s.id << " " << Quote(s.text) << "\n";
                done = winsim::TypeIntoDialog(top, s.id, s.text);
                break;
            case Step::Select:
                out_ << "> select " << s.id << " " << Quote(s.text) << "\n";
                done = winsim::SelectInDialog(top, s.id, s.text);
                break;
            case Step::Click:
                out_ << "> click " << s.id << "\n";
                done = s.id == 0 ? winsim::ClickDialog(top) : winsim::ClickDialogControl(top, s.id);
                break;
            case Step::Key:
                out_ << "> key " << s.text << "\n";
                done = winsim::PressDialogKey(top, s.text == "enter" ? winsim::DialogKey::Enter
                                                                     : winsim::DialogKey::Escape);
                break;
            case Step::Show:
                out_ << winsim::DialogText(top);
                break;
            }
            if (!done) out_ << "  (refused: no such control, or it is hidden, disabled or of another kind)\n";
            ReportBoxes();
        }
    }

    static std::string Quote(const std::string &s) {
        std::string q = "\"";
        for (char c : s) {
            if (c == '\n') q += "\\n";
            else q += c;
        }
        return q + "\"";
    }

    static std::string AnswerName(int id) {
        for (auto &a : AnswerNames())
            if (a.id == id) return a.name;
        return std::to_string(id);
    }

private:
    Options &o_;
    std::ostream &out_;
    winsim::Machine &m_;
    size_t boxes_ = 0;
};

std::string FileText(winsim::Machine &m, const std::string &winPath) {
    std::string host;
    if (!m.HostPath(winPath, host)) return std::string();
    std::ifstream in(host, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

bool WantsDialog(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--dialog") return true;
    return false;
}

void DialogUsage(std::ostream &out) {
    out << "usage: qlsetrun --dialog ID [--machine DIR] [--target NAME] [--icf PATH] [--installed HOME]\n"
           "                [--text TEXT] [--answer ANSWER]... [STEP]...\n"
           "Shows one of the library's dialogs on the simulated machine as text (each control a line:\n"
           "id, kind, text, entries, check, state, focus) and drives it as a person would:\n"
           "  ID                4322 remote installation configuration, 4323 service account,\n"
           "                    4342 custom installation, 138 the please-wait window\n"
           "  --target NAME     the target machine of 4322 (this machine by default)\n"
           "  --icf PATH        the installation configuration file (Windows path; C:\\QUILLBAK.ICF)\n"
           "  --installed HOME  the product is installed on the target in HOME (4322)\n"
           "  --text TEXT       the message of the please-wait window\n"
           "Steps, in order, on the dialog on top (a button that opens a dialog drives that one next):\n"
           "  --type ID=TEXT    types TEXT into the edit ID (replacing its text)\n"
           "  --select ID=TEXT  chooses the entry TEXT of the combo box ID\n"
           "  --click ID        clicks the button, check box or radio button ID (0: the dialog itself)\n"
           "  --key enter|escape\n"
           "  --show            prints the dialog as it is now\n"
           "A dialog still open when the steps run out is closed with Escape.\n";
}

int RunDialog(int argc, char **argv, std::ostream &out, std::ostream &err) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            DialogUsage(out);
            return kExitSuccess;
        }
        if (a == "--show") {
            o.steps.push_back(Step{Step::Show, 0, ""});
            continue;
        }
        if (i + 1 >= argc) {
            err << "qlsetrun: " << a << " needs a value\n";
            return kExitUsage;
        }
        std::string v = argv[++i];
        Step s{Step::Show, 0, ""};
        if (a == "--dialog") {
            int id;
            if (!ParseId(v, id) || (id != IDD_REMOTE_CONFIG && id != IDD_REMOTE_ACCOUNT && id != IDD_REMOTE_CUSTOM &&
                                    id != IDD_WAIT)) {
                err << "qlsetrun: --dialog takes 4322, 4323, 4342 or 138; not " << v << "\n";
                return kExitUsage;
            }
            o.dialog = (unsigned)id;
        } else if (a == "--machine") {
            o.machineDir = v;
        } else if (a == "--target") {
            o.target = v;
        } else if (a == "--icf") {
            o.icf = v;
        } else if (a == "--installed") {
            o.installed = true;
            o.home = v;
        } else if (a == "--text") {
            o.text = v;
        } else if (a == "--answer") {
            int answer = ParseAnswer(v);
            if (!answer) {
                err << "qlsetrun: --answer takes a button: IDOK, IDCANCEL, IDYES, IDNO ...; not " << v << "\n";
                return kExitUsage;
            }
            o.answers.push_back(answer);
        } else if (a == "--type" || a == "--select") {
            s.kind = a == "--type" ? Step::Type : Step::Select;
            if (!ParseIdText(v, s.id, s.text)) {
                err << "qlsetrun: " << a << " takes ID=TEXT; not " << v << "\n";
                return kExitUsage;
            }
            o.steps.push_back(s);
        } else if (a == "--click") {
            s.kind = Step::Click;
            if (!ParseId(v, s.id)) {
                err << "qlsetrun: --click takes a control id; not " << v << "\n";
                return kExitUsage;
            }
            o.steps.push_back(s);
        } else if (a == "--key") {
            if (v != "enter" && v != "escape") {
                err << "qlsetrun: --key takes enter or escape; not " << v << "\n";
                return kExitUsage;
            }
            s.kind = Step::Key;
            s.text = v;
            o.steps.push_back(s);
        } else {
            err << "qlsetrun: " << a << " is not an option of --dialog (qlsetrun --dialog 4322 --help)\n";
            return kExitUsage;
        }
    }
    if (!o.dialog) {
        err << "qlsetrun: --dialog needs a dialog id\n";
        return kExitUsage;
    }
    winsim::Machine *m;
    try {
        m = o.machineDir.empty() ? &winsim::CreateDefaultMachine() : &winsim::LoadMachineImage(o.machineDir);
    } catch (const std::exception &e) {
        err << "qlsetrun: cannot load the machine: " << e.what() << "\n";
        return kExitMachine;
    }
    winsim::SetLocalMachine(*m);
    m->scriptedAnswers = o.answers;
    if (o.target.empty()) o.target = m->name;
    // The configuration file exists before the dialog runs, as the front end makes it.
    if (GetFileAttributesA(o.icf.c_str()) == INVALID_FILE_ATTRIBUTES) {
        HANDLE h = CreateFileA(o.icf.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            err << "qlsetrun: cannot create " << o.icf << " on the machine\n";
            return kExitMachine;
        }
        CloseHandle(h);
    }

    Session session(o, out);
    winsim::SetModalDialogDriver([&](HWND h, UINT id) {
        out << winsim::DialogText(h);
        session.Drive(h);
        if (IsWindowVisible(h)) out << "  (no more input: Escape)\n";
    });

    HINSTANCE module = AfxGetResourceHandle();
    CSetupIcf icf(o.icf.c_str());
    if (o.dialog == IDD_WAIT) {
        HWND h = ShowWaitWindow(module, GetDesktopWindow(), o.text.c_str());
        if (!h) {
            out << "The window could not be made (error " << GetLastError() << ")\n";
            return kExitFailure;
        }
        out << winsim::DialogText(h);
        session.Drive(h);
        winsim::DialogView v;
        winsim::DescribeDialog(h, v);
        out << "Position: " << v.rect.left << "," << v.rect.top << " size " << v.rect.right - v.rect.left << "x"
            << v.rect.bottom - v.rect.top << " on the 800x600 screen\n";
        DestroyWindow(h);
        return kExitSuccess;
    }
    INT_PTR result;
    std::string extra;
    if (o.dialog == IDD_REMOTE_CONFIG) {
        CRemoteConfigDlg dlg(NULL, o.installed, o.home.c_str(), o.target.c_str(), o.icf.c_str());
        result = dlg.DoModal();
        extra = "Outcome: " + std::to_string(dlg.m_nOutcome) +
                (dlg.m_nOutcome == 0 ? " (folders written)" : dlg.m_nOutcome == 1 ? " (not written)" : " (cancelled)") +
                "\nInstallation type: " + std::to_string(dlg.m_nInstallType) + "\n";
    } else if (o.dialog == IDD_REMOTE_ACCOUNT) {
        CRemoteAccountDlg dlg(nullptr, &icf);
        dlg.m_strServerName = o.target.c_str();
        result = dlg.DoModal();
    } else {
        CRemoteCustomDlg dlg(nullptr, &icf);
        result = dlg.DoModal();
    }
    out << "Result: " << (result == IDOK ? "IDOK" : result == IDCANCEL ? "IDCANCEL" : std::to_string(result))
        << "\n"
        << extra;
    out << "Configuration file " << o.icf << ":\n" << FileText(*m, o.icf);
    return kExitSuccess;
}

}  // namespace qlsetrun
