// SPDX-License-Identifier: GPL-3.0-or-later
#include "Toasts.h"

#include "Service.h"

#include <QDebug>

namespace vantrel {

void showToast(const ToastRequest& request)
{
    if (ToastPresenter* presenter = Service<ToastPresenter>::find()) {
        presenter->show(request);
        return;
    }
    qDebug().noquote() << "toast:" << request.text;
}

void dismissToast()
{
    if (ToastPresenter* presenter = Service<ToastPresenter>::find())
        presenter->dismiss();
}

} // namespace vantrel
