#include "controls/ui/pending_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/ui/page.h"

void SetPageDialogId(CPage& page, int dialogId) {
  page.setObjectName(QStringLiteral("page%1").arg(dialogId));
}

void MarkPendingPage(CPage& page, int dialogId) {
  SetPageDialogId(page, dialogId);
  auto* layout = new QVBoxLayout(&page);
  auto* note = new QLabel(QStringLiteral("此页面尚未开放"), &page);
  note->setObjectName(QStringLiteral("pendingNote"));
  note->setAlignment(Qt::AlignCenter);
  note->setStyleSheet(QStringLiteral("color: #808080;"));
  layout->addWidget(note);
}
