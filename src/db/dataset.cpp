#include "velmysql/db/dataset.h"

#include <algorithm>
#include <cstring>

#include "db_util.h"
#include "velmysql/db/data_source.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/db_register.h"
#include "velmysql/db/fields.h"
#include "velmysql/db/index_defs.h"
#include "velmysql/rtl/application.h"
#include "velmysql/rtl/stream.h"
#include "var_conv.h"

namespace velmysql {

namespace {
// A window larger than this would only waste buffers; links asking for more get this.
constexpr int kMaxBufferCount = 1024;
}  // namespace

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner),
      fields_(std::make_unique<TFields>(this)),
      fieldDefs_(std::make_unique<TFieldDefs>(this)),
      constraints_(std::make_unique<TCheckConstraints>(this)) {
    RegisterDataAccessClasses();
}

TDataSet::~TDataSet() {
    Destroying();
    // The record-buffer protocol belongs to the descendant, whose part of the object is
    // gone by now: a descendant closes the dataset in its own destructor
    // (CloseOnDestroy). A data source detaches itself before it tells its links, so a
    // link that raises cannot keep it in the list.
    while (!dataSources_.Empty()) {
        try {
            dataSources_.Back()->SetDataSet(nullptr);
        } catch (...) {
        }
    }
    fields_->Clear();
}

void TDataSet::CloseOnDestroy() noexcept {
    Destroying();
    ForceClose();
}

void TDataSet::ForceClose() noexcept {
    if (state_ == dsInactive && ring_.empty()) return;
    // SetState stores the state before it tells anyone, so a listener that raises still
    // leaves the dataset inactive.
    try {
        SetState(dsInactive);
    } catch (...) {
    }
    try {
        CloseCursor();
    } catch (...) {
    }
    RowsChanged();
}

// ---------------------------------------------------------------- opening and closing

bool TDataSet::Active() const { return state_ != dsInactive && state_ != dsOpening; }

void TDataSet::Open() { SetActive(true); }
void TDataSet::Close() { SetActive(false); }

void TDataSet::CheckActive() const {
    if (state_ == dsInactive) DatabaseError(dbtext::SDataSetClosed, this);
}

void TDataSet::CheckInactive() const {
    if (Active()) DatabaseError(dbtext::SDataSetOpen, this);
}

void TDataSet::SetActive(bool Value) {
    if (ComponentState().Contains(csReading) || ComponentState().Contains(csLoading)) {
        // While a form is read, a stored true only takes effect in Loaded.
        streamedActive_ = Value;
        return;
    }
    if (Active() == Value) return;
    RowsChanged();
    if (Value) {
        DoBeforeOpen();
        try {
            OpenCursor(false);
        } catch (...) {
            // An open that failed (the descendant's, or filling the window) is not
            // complete, so this closes the cursor and frees what the open made.
            if (state_ != dsOpening) {
                try {
                    OpenCursorComplete();
                } catch (...) {
                }
            }
            throw;
        }
        if (state_ != dsOpening) OpenCursorComplete();
    } else {
        const bool destroying = ComponentState().Contains(csDestroying);
        if (!destroying) DoBeforeClose();
        SetState(dsInactive);
        CloseCursor();
        if (!destroying) DoAfterClose();
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (!streamedActive_) return;
    streamedActive_ = false;
    try {
        SetActive(true);
    } catch (...) {
        if (ComponentState().Contains(csDesigning))
            InternalHandleException();
        else
            throw;
    }
}

void TDataSet::OpenCursor(bool InfoQuery) {
    if (InfoQuery)
        InternalInitFieldDefs();
    else if (state_ != dsOpening)
        DoInternalOpen();
}

void TDataSet::DoInternalOpen() {
    defaultFields_ = fields_->Count() == 0;
    InternalOpen();
    // Filling the window fetches records, which may fail (a fetch error of an
    // incremental result); the open is complete only when it succeeded.
    internalOpenComplete_ = true;
    try {
        UpdateBufferCount();
    } catch (...) {
        internalOpenComplete_ = false;
        throw;
    }
    bof_ = true;
}

void TDataSet::OpenCursorComplete() {
    if (state_ == dsOpening && !internalOpenComplete_) {
        try {
            DoInternalOpen();
        } catch (...) {
            SetState(dsInactive);
            CloseCursor();
            throw;
        }
    }
    if (internalOpenComplete_) {
        SetState(dsBrowse);
        DoAfterOpen();
        if (!IsEmpty()) DoAfterScroll();
    } else {
        SetState(dsInactive);
        CloseCursor();
    }
}

void TDataSet::CloseCursor() {
    internalOpenComplete_ = false;
    ClearBuffers();
    // Whatever the descendant's close raises (it may apply cached statements), the
    // buffers are gone and the next open must allocate them again.
    struct ResetOnExit {
        TDataSet* ds;
        ~ResetOnExit() {
            ds->bufferCount_ = 0;
            ds->defaultFields_ = false;
        }
    } reset{this};
    SetBufListSize(0);
    InternalClose();
}

void TDataSet::UpdateFieldDefs() {
    if (IsCursorOpen()) {
        InternalInitFieldDefs();
    } else {
        try {
            OpenCursor(true);
        } catch (...) {
            CloseCursor();
            throw;
        }
        CloseCursor();
    }
    fieldDefs_->SetUpdated(true);
}

void TDataSet::SetState(TDataSetState Value) {
    if (state_ == Value) return;
    state_ = Value;
    modified_ = false;
    DataEvent(deUpdateState, 0);
}

// ---------------------------------------------------------------- the buffer ring

TRecordBuffer TDataSet::Buffers(int Index) const {
    const int n = static_cast<int>(ring_.size());
    return ring_[static_cast<size_t>((head_ + Index) % n)];
}

TRecordBuffer& TDataSet::Slot(int Index) {
    const int n = static_cast<int>(ring_.size());
    return ring_[static_cast<size_t>((head_ + Index) % n)];
}

TRecordBuffer TDataSet::ActiveBuffer() const {
    if (ring_.empty()) return nullptr;
    return Buffers(activeRecord_);
}

void TDataSet::SetBufListSize(int Value) {
    const int current = static_cast<int>(ring_.size());
    if (Value == current) return;
    // Put logical slot 0 at physical 0 so that growing appends free slots at the end and
    // shrinking drops the last logical slots.
    std::rotate(ring_.begin(), ring_.begin() + head_, ring_.end());
    head_ = 0;
    if (Value > current) {
        ring_.reserve(static_cast<size_t>(Value));
        while (static_cast<int>(ring_.size()) < Value) ring_.push_back(AllocRecordBuffer());
    } else {
        while (static_cast<int>(ring_.size()) > Value) {
            TRecordBuffer b = ring_.back();
            ring_.pop_back();
            FreeRecordBuffer(b);
        }
    }
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    const int n = static_cast<int>(ring_.size());
    // Turning the ring by one covers scrolling past either end of a full window.
    if (CurIndex == 0 && NewIndex == n - 1) {
        head_ = (head_ + 1) % n;
        return;
    }
    if (CurIndex == n - 1 && NewIndex == 0) {
        head_ = (head_ + n - 1) % n;
        return;
    }
    TRecordBuffer moving = Slot(CurIndex);
    if (CurIndex < NewIndex)
        for (int i = CurIndex; i < NewIndex; ++i) Slot(i) = Slot(i + 1);
    else
        for (int i = CurIndex; i > NewIndex; --i) Slot(i) = Slot(i - 1);
    Slot(NewIndex) = moving;
}

void TDataSet::SetBufferCount(int Value) {
    Value = std::clamp(Value, 1, kMaxBufferCount);
    if (Value == bufferCount_) return;
    if (bufferCount_ > Value && recordCount_ > 0) {
        // Keep the part of the window around the active record (and the first record a
        // link shows) when the window shrinks.
        int delta = activeRecord_;
        for (TDataSource* ds : dataSources_)
            for (TDataLink* link : ds->links_)
                if (link->Active() && link->firstRecord_ < delta) delta = link->firstRecord_;
        if (activeRecord_ - delta >= Value) delta = activeRecord_ - Value + 1;
        for (int i = 0; i < Value && i + delta < static_cast<int>(ring_.size()); ++i) MoveBuffer(i + delta, i);
        activeRecord_ -= delta;
        if (currentRecord_ != -1) currentRecord_ -= delta;
        if (currentRecord_ >= Value || currentRecord_ < -1) currentRecord_ = -1;
        recordCount_ = std::max(0, std::min(recordCount_ - delta, Value));
        for (TDataSource* ds : dataSources_)
            for (TDataLink* link : ds->links_)
                if (link->Active()) link->firstRecord_ = std::max(0, link->firstRecord_ - delta);
    }
    SetBufListSize(Value + 1);
    bufferCount_ = Value;
    if (!ComponentState().Contains(csDestroying)) {
        GetNextRecords();
        if (recordCount_ < bufferCount_) GetPriorRecords();
    }
}

void TDataSet::UpdateBufferCount() {
    if (!IsCursorOpen()) return;
    int wanted = 1;
    for (TDataSource* ds : dataSources_)
        for (TDataLink* link : ds->links_)
            if (link->BufferCount() > wanted) wanted = link->BufferCount();
    SetBufferCount(wanted);
}

void TDataSet::ClearBuffers() {
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = true;
    eof_ = true;
}

void TDataSet::ActivateBuffers() {
    recordCount_ = 1;
    activeRecord_ = 0;
    currentRecord_ = 0;
    bof_ = false;
    eof_ = false;
}

void TDataSet::SetCurrentRecord(int Index) {
    if (currentRecord_ == Index) return;
    TRecordBuffer b = Buffers(Index);
    switch (GetBookmarkFlag(b)) {
        case bfCurrent:
        case bfInserted:
            InternalSetToRecord(b);
            break;
        case bfBOF:
            InternalFirst();
            break;
        case bfEOF:
            InternalLast();
            break;
    }
    currentRecord_ = Index;
}

void TDataSet::UpdateCursorPos() {
    if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (recordCount_ > 0) {
        SetCurrentRecord(recordCount_ - 1);
        // The record being inserted at the end stands for the cursor's own record.
        if (state_ == dsInsert && currentRecord_ == activeRecord_ && GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    const bool ok = GetRecord(Buffers(recordCount_), mode, true) == grOK;
    if (ok) {
        if (recordCount_ == 0)
            ActivateBuffers();
        else if (recordCount_ < bufferCount_)
            ++recordCount_;
        else
            MoveBuffer(0, recordCount_);
        currentRecord_ = recordCount_ - 1;
    } else {
        CursorPosChanged();
    }
    return ok;
}

bool TDataSet::GetPriorRecord() {
    if (recordCount_ > 0) SetCurrentRecord(0);
    // The last slot is free (or the spare) whatever the window holds, so fetching into
    // it and turning the ring back by one puts the new record in front without copying.
    const int last = static_cast<int>(ring_.size()) - 1;
    const bool ok = GetRecord(Buffers(last), gmPrior, true) == grOK;
    if (ok) {
        MoveBuffer(last, 0);
        if (recordCount_ == 0) {
            ActivateBuffers();
        } else if (recordCount_ < bufferCount_) {
            ++recordCount_;
            ++activeRecord_;
        }
        currentRecord_ = 0;
    } else {
        CursorPosChanged();
    }
    return ok;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (recordCount_ < bufferCount_ && GetNextRecord()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    int n = 0;
    while (recordCount_ < bufferCount_ && GetPriorRecord()) ++n;
    return n;
}

// ---------------------------------------------------------------- navigation

bool TDataSet::IsEmpty() const { return activeRecord_ >= recordCount_; }

bool TDataSet::IsSequenced() { return true; }

void TDataSet::First() { ScrollToEnd(false); }
void TDataSet::Last() { ScrollToEnd(true); }

void TDataSet::ScrollToEnd(bool ToLast) {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    // Whatever the cursor managed to read, the window now starts (ends) at an edge.
    bool& edge = ToLast ? eof_ : bof_;
    try {
        if (ToLast) {
            InternalLast();
            GetPriorRecord();
            GetPriorRecords();
        } else {
            InternalFirst();
            GetNextRecord();
            GetNextRecords();
        }
    } catch (...) {
        edge = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    edge = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int Distance) {
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((Distance > 0 && !eof_) || (Distance < 0 && !bof_)) {
        bof_ = false;
        eof_ = false;
        int scrollCount = 0;
        auto finish = [&] { DataEvent(deDataSetScroll, scrollCount); };
        try {
            while (Distance > 0) {
                if (activeRecord_ < recordCount_ - 1) {
                    ++activeRecord_;
                } else {
                    const int shift = recordCount_ < bufferCount_ ? 0 : 1;
                    if (GetNextRecord()) {
                        scrollCount -= shift;
                        if (activeRecord_ < recordCount_ - 1) ++activeRecord_;
                    } else {
                        eof_ = true;
                        break;
                    }
                }
                --Distance;
                ++result;
            }
            while (Distance < 0) {
                if (activeRecord_ > 0) {
                    --activeRecord_;
                } else {
                    const int shift = recordCount_ < bufferCount_ ? 0 : 1;
                    if (GetPriorRecord()) {
                        scrollCount += shift;
                        if (activeRecord_ > 0) --activeRecord_;
                    } else {
                        bof_ = true;
                        break;
                    }
                }
                ++Distance;
                --result;
            }
        } catch (...) {
            finish();
            throw;
        }
        finish();
        DoAfterScroll();
    }
    return result;
}

void TDataSet::Resync(TResyncMode Mode) {
    CheckActive();
    if (ring_.empty()) return;
    const int last = static_cast<int>(ring_.size()) - 1;
    TRecordBuffer spare = Buffers(last);
    if (Mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, true) != grOK) DatabaseError(dbtext::SRecordNotFound, this);
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
               GetRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = Mode.Contains(rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
    MoveBuffer(last, 0);
    ActivateBuffers();
    try {
        while (count > 0 && GetPriorRecord()) --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
    DoBeforeRefresh();
    CheckBrowseMode();
    UpdateCursorPos();
    RowsChanged();
    try {
        InternalRefresh();
    } catch (...) {
        Resync({});
        throw;
    }
    Resync({});
    DoAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
        case dsEdit:
        case dsInsert:
            UpdateRecord();
            if (modified_)
                Post();
            else
                Cancel();
            break;
        case dsSetKey:
            Post();
            break;
        default:
            break;
    }
}

void TDataSet::UpdateRecord() {
    if (!dsEditModes.Contains(state_)) DatabaseError(dbtext::SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

// ---------------------------------------------------------------- bookmarks

bool TDataSet::BookmarkAvailable() {
    return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && !IsEmpty() &&
           GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() {
    if (!BookmarkAvailable() || bookmarkSize_ <= 0) return TBookmark();
    TBookmark b(static_cast<size_t>(bookmarkSize_), '\0');
    GetBookmarkData(ActiveBuffer(), b.data());
    return b;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
    if (Bookmark.empty()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(Bookmark.data());
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

TBookmarkStr TDataSet::GetBookmarkStr() { return GetBookmark(); }
void TDataSet::SetBookmarkStr(const TBookmarkStr& Value) { GotoBookmark(Value); }

bool TDataSet::BookmarkValid(const TBookmark&) { return false; }

int TDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
    if (Bookmark1.empty()) return Bookmark2.empty() ? 0 : -1;
    if (Bookmark2.empty()) return 1;
    return 0;
}

// ---------------------------------------------------------------- editing

void TDataSet::CheckCanModify() {
    if (!CanModify()) DatabaseError(dbtext::SDataSetReadOnly, this);
}

void TDataSet::CheckOperation(const std::function<void()>& Operation, const TDataSetErrorEvent& ErrorEvent) {
    for (;;) {
        try {
            UpdateCursorPos();
            Operation();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = daFail;
            if (ErrorEvent) ErrorEvent(this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) Abort();
        }
    }
}

void TDataSet::Edit() {
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckOperation([this] { InternalEdit(); }, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::InitRecord(TRecordBuffer Buffer) {
    InternalInitRecord(Buffer);
    ClearCalcFields(Buffer);
    SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::Insert() { InsertAppend(false); }
void TDataSet::Append() { InsertAppend(true); }

void TDataSet::InsertAppend(bool ToEnd) {
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
    const TBookmark oldCurrent = GetBookmark();
    try {
        if (ToEnd) {
            // The new record ends a window of the last records.
            ClearBuffers();
            TRecordBuffer buffer = Buffers(0);
            InitRecord(buffer);
            SetBookmarkFlag(buffer, bfEOF);
            recordCount_ = 1;
            bof_ = false;
            GetPriorRecords();
        } else {
            // The new record takes the active slot; the records from there on move down
            // one slot (the last one falls out of a full window).
            MoveBuffer(recordCount_, activeRecord_);
            TRecordBuffer buffer = ActiveBuffer();
            InitRecord(buffer);
            if (recordCount_ == 0)
                SetBookmarkFlag(buffer, bfBOF);
            else if (!oldCurrent.empty())
                SetBookmarkData(buffer, oldCurrent.data());
            if (recordCount_ < bufferCount_) ++recordCount_;
        }
        InternalInsert();
        SetState(dsInsert);
        DoOnNewRecord();
    } catch (...) {
        RestoreWindow(oldCurrent);
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::RestoreWindow(const TBookmark& Current) {
    SetState(dsBrowse);
    if (!Current.empty())
        InternalGotoBookmark(Current.data());
    else
        InternalFirst();
    CursorPosChanged();
    try {
        Resync({});
    } catch (...) {
        // The caller's exception is the one to report; an empty window is consistent.
        ClearBuffers();
    }
}

void TDataSet::CheckRequiredFields() {
    for (TField* f : *fields_)
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
            f->FocusControl();
            DatabaseErrorFmt(dbtext::SFieldRequired, {f->DisplayName()}, this);
        }
}

void TDataSet::Post() {
    UpdateRecord();
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation(
        [this] {
            CheckRequiredFields();
            InternalPost();
        },
        OnPostError);
    RowsChanged();
    SetState(dsBrowse);
    Resync({});
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    const bool scrollEvents = state_ == dsInsert;
    if (scrollEvents) DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    SetState(dsBrowse);
    Resync({});
    DoAfterCancel();
    if (scrollEvents) DoAfterScroll();
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (recordCount_ == 0) DatabaseError(dbtext::SDataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation([this] { InternalDelete(); }, OnDeleteError);
    RowsChanged();
    SetState(dsBrowse);
    Resync({});
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::ClearFields() {
    if (!dsEditModes.Contains(state_)) DatabaseError(dbtext::SNotEditing, this);
    DataEvent(deCheckBrowseMode, 0);
    for (TField* f : *fields_)
        if (f->FieldKind() == fkData && !f->ReadOnly()) f->Clear();
}

// ---------------------------------------------------------------- controls and events

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disableState_ = state_;
        enableEvent_ = deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ != 0) return;
    if (disableState_ != state_) DataEvent(deUpdateState, 0);
    if (disableState_ != dsInactive && state_ != dsInactive) DataEvent(enableEvent_, 0);
}

void TDataSet::DataEvent(TDataEvent Event, intptr_t Info) {
    if (Event == deFieldChange) {
        TField* field = reinterpret_cast<TField*>(Info);
        if (field != nullptr) {
            if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) modified_ = true;
            if (state_ != dsSetKey && field->FieldKind() == fkData && calcFieldsSize_ > 0 && autoCalcFields_)
                GetCalcFields(ActiveBuffer());
            field->Change();
        }
    }
    if (disableCount_ == 0) {
        // A handler may attach or detach data sources; those that left are skipped.
        dataSources_.ForEach([&](TDataSource* ds) { ds->DataEvent(Event, Info); });
    } else if ((Event == deUpdateState && state_ == dsInactive) || Event == deLayoutChange) {
        enableEvent_ = deLayoutChange;
    }
}

void TDataSet::AddDataSource(TDataSource* DataSource) {
    dataSources_.Add(DataSource);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) { dataSources_.Remove(DataSource); }

void TDataSet::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
}

void TDataSet::DoBeforeOpen() { if (BeforeOpen) BeforeOpen(this); }
void TDataSet::DoAfterOpen() { if (AfterOpen) AfterOpen(this); }
void TDataSet::DoBeforeClose() { if (BeforeClose) BeforeClose(this); }
void TDataSet::DoAfterClose() { if (AfterClose) AfterClose(this); }
void TDataSet::DoBeforeInsert() { if (BeforeInsert) BeforeInsert(this); }
void TDataSet::DoAfterInsert() { if (AfterInsert) AfterInsert(this); }
void TDataSet::DoBeforeEdit() { if (BeforeEdit) BeforeEdit(this); }
void TDataSet::DoAfterEdit() { if (AfterEdit) AfterEdit(this); }
void TDataSet::DoBeforePost() { if (BeforePost) BeforePost(this); }
void TDataSet::DoAfterPost() { if (AfterPost) AfterPost(this); }
void TDataSet::DoBeforeCancel() { if (BeforeCancel) BeforeCancel(this); }
void TDataSet::DoAfterCancel() { if (AfterCancel) AfterCancel(this); }
void TDataSet::DoBeforeDelete() { if (BeforeDelete) BeforeDelete(this); }
void TDataSet::DoAfterDelete() { if (AfterDelete) AfterDelete(this); }
void TDataSet::DoBeforeScroll() { if (BeforeScroll) BeforeScroll(this); }
void TDataSet::DoAfterScroll() { if (AfterScroll) AfterScroll(this); }
void TDataSet::DoBeforeRefresh() { if (BeforeRefresh) BeforeRefresh(this); }
void TDataSet::DoAfterRefresh() { if (AfterRefresh) AfterRefresh(this); }
void TDataSet::DoOnCalcFields() { if (OnCalcFields) OnCalcFields(this); }
void TDataSet::DoOnNewRecord() { if (OnNewRecord) OnNewRecord(this); }

// ---------------------------------------------------------------- fields

int TDataSet::FieldCount() const { return fields_->Count(); }

TField* TDataSet::FindField(const std::string& FieldName) const { return fields_->FindField(FieldName); }

TField* TDataSet::FieldByName(const std::string& FieldName) const {
    TField* f = fields_->FindField(FieldName);
    if (f == nullptr) DatabaseErrorFmt(dbtext::SFieldNotFound, {FieldName}, this);
    return f;
}

TField* TDataSet::FieldByNumber(int FieldNo) const { return fields_->FieldByNumber(FieldNo); }

void TDataSet::GetFieldList(std::vector<TField*>& List, const std::string& FieldNames) const {
    for (const std::string& name : dbutil::SplitFieldNames(FieldNames)) List.push_back(FieldByName(name));
}

void TDataSet::GetFieldNames(std::vector<std::string>& List) const {
    for (TField* f : *fields_) List.push_back(f->FieldName());
}

Variant TDataSet::GetFieldValue(const std::string& FieldNames) const {
    std::vector<TField*> list;
    GetFieldList(list, FieldNames);
    if (list.size() == 1) return list[0]->AsVariant();
    std::vector<Variant> values;
    values.reserve(list.size());
    for (TField* f : list) values.push_back(f->AsVariant());
    return dbvar::MakeArray(std::move(values));
}

void TDataSet::SetFieldValue(const std::string& FieldNames, const Variant& Value) {
    std::vector<TField*> list;
    GetFieldList(list, FieldNames);
    if (list.size() == 1 && !dbvar::IsArray(Value)) {
        list[0]->SetAsVariant(Value);
        return;
    }
    for (size_t i = 0; i < list.size(); ++i)
        list[i]->SetAsVariant(static_cast<int>(i) < dbvar::ArrayCount(Value) ? dbvar::ArrayItem(Value, static_cast<int>(i))
                                                                              : dbvar::Null());
}

void TDataSet::CreateFields() {
    for (int i = 0; i < fieldDefs_->Count(); ++i) {
        TFieldDef* def = fieldDefs_->Items(i);
        if (def->DataType() == ftUnknown) continue;
        if (def->Attributes().Contains(faHiddenCol) && !fieldDefs_->HiddenFields()) continue;
        def->CreateField(this);
    }
}

void TDataSet::DestroyFields() { fields_->Clear(); }

namespace {
bool TypesCompatible(TFieldType fieldType, TFieldType defType) {
    if (fieldType == defType) return true;
    auto integral = [](TFieldType t) { return t == ftInteger || t == ftAutoInc; };
    auto stringy = [](TFieldType t) { return t == ftString || t == ftFixedChar || t == ftWideString || t == ftGuid; };
    return (integral(fieldType) && integral(defType)) || (stringy(fieldType) && stringy(defType)) ||
           (IsBlobType(fieldType) && IsBlobType(defType));
}
}  // namespace

void TDataSet::BindFields(bool Binding) {
    calcFieldsSize_ = 0;
    for (TField* f : *fields_) {
        if (!Binding) {
            f->fieldNo_ = 0;
            f->offset_ = 0;
            continue;
        }
        if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup) {
            // The calculation area holds bytes; a Variant owns heap memory and cannot be
            // copied into it.
            if (f->DataType() == ftVariant) DatabaseErrorFmt(dbtext::SVariantCalcField, {f->DisplayName()}, this);
            if (f->FieldKind() == fkLookup &&
                (f->LookupDataSet() == nullptr || f->KeyFields().empty() || f->LookupKeyFields().empty() ||
                 f->LookupResultField().empty()))
                DatabaseErrorFmt(dbtext::SLookupInfoError, {f->DisplayName()}, this);
            f->fieldNo_ = -1;
            f->offset_ = calcFieldsSize_;
            calcFieldsSize_ += f->DataSize() + 1;
            continue;
        }
        const int i = fieldDefs_->IndexOf(f->FieldName());
        if (i < 0) DatabaseErrorFmt(dbtext::SFieldNotFound, {f->DisplayName()}, this);
        TFieldDef* def = fieldDefs_->Items(i);
        if (f->FieldKind() == fkData && !TypesCompatible(f->DataType(), def->DataType()))
            DatabaseErrorFmt(dbtext::SFieldTypeMismatch,
                             {f->DisplayName(), FieldTypeName(f->DataType()), FieldTypeName(def->DataType())}, this);
        f->fieldNo_ = def->FieldNo();
    }
}

TFieldClass TDataSet::GetFieldClass(TFieldType FieldType) { return DefaultFieldClass(FieldType); }

bool TDataSet::GetIsIndexField(TField*) { return false; }

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
    if (calcFieldsSize_ <= 0 || Buffer == nullptr) return;
    const TDataSetState saved = state_;
    // Calculation writes the calculated fields of Buffer; the state tells the descendant
    // which buffer field reads and writes address.
    state_ = dsCalcFields;
    try {
        CalculateFields(Buffer);
    } catch (...) {
        state_ = saved;
        calcBuffer_ = nullptr;
        throw;
    }
    state_ = saved;
}

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
    calcBuffer_ = Buffer;
    ClearCalcFields(Buffer);
    CalcLookupValues();
    DoOnCalcFields();
}

void TDataSet::CalcLookupValues() {
    for (TField* f : *fields_) {
        if (f->FieldKind() != fkLookup) continue;
        TDataSet* lookup = f->LookupDataSet();
        if (lookup == nullptr || !lookup->Active()) continue;
        const Variant keys = GetFieldValue(f->KeyFields());
        // The cache key holds the keys' texts (as the lookup compares them), each with
        // its length so that no two key lists give the same key.
        const bool several = dbvar::IsArray(keys);
        const int count = several ? dbvar::ArrayCount(keys) : 1;
        std::string cacheKey;
        bool anyNull = false;
        for (int i = 0; !anyNull && i < count; ++i) {
            const Variant key = several ? dbvar::ArrayItem(keys, i) : keys;
            anyNull = dbvar::IsNullish(key);
            if (anyNull) break;
            const std::string text = dbvar::ToString(key);
            cacheKey += std::to_string(text.size()) + ':' + text;
        }
        if (anyNull) continue;
        const Variant value = f->CachedLookup(cacheKey, [&] {
            return lookup->Lookup(f->LookupKeyFields(), keys, f->LookupResultField());
        });
        if (!dbvar::IsNullish(value)) f->SetAsVariant(value);
    }
}

// ---------------------------------------------------------------- defaults of the protocol

void TDataSet::InternalInitRecord(TRecordBuffer) {}
int TDataSet::GetRecordSize() { return 0; }
void TDataSet::GetBookmarkData(TRecordBuffer, void*) {}
void TDataSet::SetBookmarkData(TRecordBuffer, const void*) {}
TBookmarkFlag TDataSet::GetBookmarkFlag(TRecordBuffer) { return bfCurrent; }
void TDataSet::SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) {}
void TDataSet::InternalGotoBookmark(const void*) {}
void TDataSet::InternalSetToRecord(TRecordBuffer) {}
void TDataSet::InternalFirst() {}
void TDataSet::InternalLast() {}
int TDataSet::GetRecordCount() { return -1; }
int TDataSet::GetRecNo() { return -1; }
void TDataSet::SetRecNo(int) {}
void TDataSet::InternalRefresh() {}
void TDataSet::InternalEdit() {}
void TDataSet::InternalInsert() {}
void TDataSet::InternalPost() {}
void TDataSet::InternalCancel() {}
void TDataSet::InternalDelete() {}
void TDataSet::InternalAddRecord(TRecordBuffer, bool) {}
bool TDataSet::GetCanModify() { return true; }
void TDataSet::ClearCalcFields(TRecordBuffer) {}
bool TDataSet::GetFieldData(TField*, void*) { return false; }
void TDataSet::SetFieldData(TField*, const void*) {}

bool TDataSet::GetFieldString(TField* Field, std::string& Value) {
    const size_t size = static_cast<size_t>(std::max(Field->Size(), 0));
    Value.assign(size + 1, '\0');
    if (!GetFieldData(Field, Value.data())) {
        Value.clear();
        return false;
    }
    Value.resize(std::min(std::strlen(Value.c_str()), size));
    return true;
}

void TDataSet::SetFieldString(TField* Field, const std::string* Value) {
    if (Value == nullptr) {
        SetFieldData(Field, nullptr);
        return;
    }
    std::string buffer(static_cast<size_t>(std::max(Field->Size(), 0)) + 1, '\0');
    std::memcpy(buffer.data(), Value->data(), std::min(Value->size(), buffer.size() - 1));
    SetFieldData(Field, buffer.data());
}

bool TDataSet::GetCalcFieldData(const char* CalcArea, const TField* Field, void* Buffer) {
    const char* slot = CalcArea + Field->Offset();
    if (slot[0] == 0) return false;
    if (Buffer != nullptr) std::memcpy(Buffer, slot + 1, static_cast<size_t>(Field->DataSize()));
    return true;
}

void TDataSet::SetCalcFieldData(char* CalcArea, const TField* Field, const void* Buffer) {
    char* slot = CalcArea + Field->Offset();
    slot[0] = Buffer != nullptr ? 1 : 0;
    if (Buffer != nullptr)
        std::memcpy(slot + 1, Buffer, static_cast<size_t>(Field->DataSize()));
    else
        std::memset(slot + 1, 0, static_cast<size_t>(Field->DataSize()));
}

void TDataSet::InternalHandleException() { HandleException(); }
std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }
void TDataSet::CloseBlob(TField*) {}

void TDataSet::SetFiltered(bool Value) {
    if (Active() && Value != filtered_) CheckBrowseMode();
    filtered_ = Value;
    RowsChanged();
}

void TDataSet::SetFilterText(const std::string& Value) {
    if (Active() && filtered_) CheckBrowseMode();
    filterText_ = Value;
    RowsChanged();
}

// ---------------------------------------------------------------- searching

bool TDataSet::Locate(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
    CheckBrowseMode();
    return ScanLocate(KeyFields, KeyValues, Options, true, nullptr);
}

Variant TDataSet::Lookup(const std::string& KeyFields, const Variant& KeyValues, const std::string& ResultFields) {
    CheckBrowseMode();
    Variant result = dbvar::Null();
    ScanLocate(KeyFields, KeyValues, {}, false, [&] { result = GetFieldValue(ResultFields); });
    return result;
}

bool TDataSet::ScanLocate(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                          bool SyncCursor, const std::function<void()>& OnFound) {
    std::vector<TField*> keys;
    GetFieldList(keys, KeyFields);
    if (keys.empty() || IsEmpty()) return false;
    const bool caseless = Options.Contains(loCaseInsensitive);
    const bool partial = Options.Contains(loPartialKey);
    auto keyAt = [&](size_t i) {
        if (keys.size() == 1 && !dbvar::IsArray(KeyValues)) return KeyValues;
        return static_cast<int>(i) < dbvar::ArrayCount(KeyValues) ? dbvar::ArrayItem(KeyValues, static_cast<int>(i))
                                                                   : dbvar::Null();
    };
    auto matches = [&] {
        for (size_t i = 0; i < keys.size(); ++i) {
            const Variant key = keyAt(i);
            if (dbvar::IsNullish(key)) {
                if (!keys[i]->IsNull()) return false;
                continue;
            }
            if (keys[i]->IsNull()) return false;
            std::string have = keys[i]->AsString();
            std::string want = dbvar::ToString(key);
            if (caseless) {
                have = dbutil::UpperCase(have);
                want = dbutil::UpperCase(want);
            }
            if (partial ? have.compare(0, want.size(), want) != 0 : have != want) return false;
        }
        return true;
    };
    const TBookmark start = GetBookmark();
    bool found = false;
    DisableControls();
    try {
        First();
        while (!Eof()) {
            if (matches()) {
                found = true;
                break;
            }
            Next();
        }
        if (found && OnFound) OnFound();
        if ((!found || !SyncCursor) && !start.empty()) GotoBookmark(start);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}

// ---------------------------------------------------------------- master/detail

TDataSource* TDataSet::GetDataSource() { return nullptr; }

bool TDataSet::IsLinkedTo(TDataSource* ADataSource) {
    // Bounded walk: a chain longer than the number of hops any real form has means the
    // chain itself is circular, which is as good as linked.
    for (int hops = 0; ADataSource != nullptr && hops < 10000; ++hops) {
        TDataSet* ds = ADataSource->DataSet();
        if (ds == nullptr) return false;
        if (ds == this) return true;
        ADataSource = ds->GetDataSource();
    }
    return ADataSource != nullptr;
}

// ---------------------------------------------------------------- provider support

void TDataSet::PSExecute() { DatabaseError("Executing is not supported by this dataset", this); }

int TDataSet::PSExecuteStatement(const std::string&, TParams*, std::unique_ptr<TDataSet>*) {
    DatabaseError("SQL statements are not supported by this dataset", this);
}

void TDataSet::PSGetAttributes(std::vector<std::pair<std::string, Variant>>&) {}
std::unique_ptr<TIndexDefs> TDataSet::PSGetIndexDefs(TIndexOptions) { return nullptr; }
std::unique_ptr<TIndexDef> TDataSet::PSGetDefaultOrder() { return nullptr; }

std::string TDataSet::PSGetKeyFields() {
    std::string keys;
    for (TField* f : *fields_)
        if (f->ProviderFlags().Contains(pfInKey)) {
            if (!keys.empty()) keys += ';';
            keys += f->FieldName();
        }
    return keys;
}

TParams* TDataSet::PSGetParams() { return nullptr; }
std::string TDataSet::PSGetQuoteChar() { return "\""; }
std::string TDataSet::PSGetTableName() { return std::string(); }

std::unique_ptr<EDatabaseError> TDataSet::PSGetUpdateException(const Exception* E, const EDatabaseError*) {
    return std::make_unique<EDatabaseError>(E != nullptr ? E->Message() : std::string());
}

bool TDataSet::PSInTransaction() { return false; }
bool TDataSet::PSIsSQLBased() { return false; }
bool TDataSet::PSIsSQLSupported() { return false; }
void TDataSet::PSReset() {}
void TDataSet::PSSetCommandText(const std::string&) {}
void TDataSet::PSSetParams(TParams*) {}
void TDataSet::PSStartTransaction() {}
void TDataSet::PSEndTransaction(bool) {}
bool TDataSet::PSUpdateRecord(TUpdateKind, TDataSet*) { return false; }

}  // namespace velmysql
