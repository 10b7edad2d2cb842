#include "tests/app/TestDialog.h"

#include <iterator>

const MessageMapEntry TestDialog::messageEntries[] = {
    AfxOnCommand<&TestDialog::OnGo>(IDC_TEST_GO, BN_CLICKED),
    AfxOnCommand<&TestDialog::OnOkClicked>(IDOK, BN_CLICKED),
    AfxOnMessage<&TestDialog::OnAnswer>(WM_TEST_ANSWER),
    AfxOnMessage<&TestDialog::OnAnswer>(WM_QUERYDRAGICON),
    AfxOnMessage<&TestDialog::OnSysCommand>(WM_SYSCOMMAND),
};
const MessageMap TestDialog::messageMap = {&CDialog::messageMap, messageEntries,
                                           std::size(messageEntries)};
