#pragma once
// Pages whose content is not built yet: they carry their dialog id and a plain note.

class CPage;

// objectName "page<dialogId>" and a centred note saying the page is not available yet.
void MarkPendingPage(CPage& page, int dialogId);
// objectName "page<dialogId>" alone.
void SetPageDialogId(CPage& page, int dialogId);
