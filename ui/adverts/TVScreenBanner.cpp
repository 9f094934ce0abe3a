#include "ui/adverts/TVScreenBanner.h"

#include "ui/adverts/ConnectionState.h"

namespace ui::adverts {

CTVScreenBanner::CTVScreenBanner(QWidget* parent) : CWebBrowser(parent) {
    setObjectName(QStringLiteral("TVSCREEN"));
    hide();
}

void CTVScreenBanner::setVisible(bool visible) {
    CWebBrowser::setVisible(visible && m_state == 2);
}

void CTVScreenBanner::Step() {
    if (m_url.empty()) return;
    switch (m_state) {
    case 0:
        if (m_connected ? m_connected() : IsConnected()) Navigate(m_url);
        m_state = 1;
        hide();
        break;
    case 1:
        // A page that could not be loaded leaves nothing worth showing: an
        // empty box blinking every few seconds helps nobody.
        if (!IsBusy() && HasPage()) {
            m_state = 2;
            show();
            raise();
        }
        break;
    default:
        m_state = 1;
        hide();
        break;
    }
}

} // namespace ui::adverts
