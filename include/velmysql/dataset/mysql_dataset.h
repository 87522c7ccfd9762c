#pragma once
// TMySQLDatasetBase: the dataset engine, and its three component classes TMySQLDataset,
// TMySQLQuery and TMySQLTable (which differ only in what they persist and, for the table,
// in the default options).
//
// The engine runs its SQL on a connection of its TMySQLServer, keeps the driver's result
// open and moves the rows into its row list: all at open (rtLocal), as navigation reaches
// them (rtIncremental), or keeping only the newest (rtUnidirectional). The framework
// (TDataSet) drives it through the record-buffer protocol; the state machine is:
//
//   closed (no row list) --open--> open, result streaming (incremental modes)
//        ^                          |  (rtLocal reads every row at open)
//        |                          v
//        +-------close-------- all fetched (result freed, catalogue reads done)
//
// Rows are TRowValues: one heap block per row holding every value with its length. A row
// index is the bookmark. In rtUnidirectional only the newest row keeps its storage; a
// record whose row was released cannot be shown again ("Record is no longer available").
//
// Statements come from templates (SQL, SQLUpdate, SQLInsert, SQLDelete, SQLBatch) whose
// placeholders ([name] between the delimiters, :name for a parameter) are expanded just
// before a statement is sent; a master dataset and Filter add one condition that the
// server evaluates, and the dataset runs its statements again when either changes.
//
// Sources: the model, properties and connection (dataset_model.cpp), opening, fetching
// and the cursor (dataset_open.cpp), columns and field definitions (dataset_columns.cpp),
// record values (dataset_values.cpp), blob streams (blob_stream.cpp), persisted
// properties (dataset_classes.cpp), templates and macros (dataset_templates.cpp),
// expansion and literals (dataset_expand.cpp), master, filter and select list
// (dataset_master.cpp), searching (dataset_locate.cpp), the server's dataset factory
// (dataset_factory.cpp).

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "velmysql/dataset/dataset_types.h"
#include "velmysql/db/data_source.h"
#include "velmysql/db/dataset.h"
#include "velmysql/db/index_defs.h"
#include "velmysql/db/params.h"
#include "velmysql/rtl/screen.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/server/mysql_server.h"

namespace velmysql {

class TBasicParser;
class TMySQLBlobStream;

// Names compare without regard to ASCII letter case in the table and database lists.
struct TNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class TMySQLDatasetBase : public TDataSet, public TMySQLServerClient {
public:
    static const TClassInfo& ClassInfo();
    explicit TMySQLDatasetBase(TComponent* AOwner);
    ~TMySQLDatasetBase() override;

    // ---- connection
    TMySQLServer* Server() const { return server_; }
    // Closes an open cursor, unregisters from the old server, registers with the new one.
    void SetServer(TMySQLServer* Value);
    // Obtains the connection: the server's own (ShareConnection) or a private one, and
    // selects DatabaseName on it while no result is open.
    void ActivateConnection();
    // Discards the rest of the result and gives the connection back.
    void DeactivateConnection();
    MySQLConnectionHandle* ConnectionHandle() const { return handle_; }
    // Registered with the server: when it disconnects, an active dataset closes.
    void ConnectEvent(TObject* Sender, bool Connecting);
    // Opens the dataset, then calls OnThreadOpened. With doThreadedUpdate the open belongs
    // on a worker thread, which this build does not offer yet: it raises.
    void Execute(bool Flag);

    // ---- persisted properties
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& Value);
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& Value);
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& Value);
    TMySQLDatasetOptions Options() const { return options_; }
    void SetOptions(TMySQLDatasetOptions Value);
    TMySQLResultOptions ResultType() const { return resultType_; }
    void SetResultType(TMySQLResultOptions Value);
    bool ShareConnection() const { return options_.Contains(doShareConnection); }
    void SetShareConnection(bool Value);
    bool RawData() const { return options_.Contains(doFieldsAsString); }
    void SetRawData(bool Value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value);
    bool CachedUpdates() const { return options_.Contains(doCachedUpdates); }
    void SetCachedUpdates(bool Value);
    bool ParamCheck() const { return options_.Contains(doMacroCheck); }
    void SetParamCheck(bool Value);
    bool UseCursor() const { return options_.Contains(doUseCursor); }
    void SetUseCursor(bool Value);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor Value) { cursor_ = Value; }
    TFieldDefs& CustomFieldDefs() { return *customFieldDefs_; }
    TIndexDefs& IndexDefs() { return *indexDefs_; }
    // The master this dataset follows (MasterSource; DataSource on TMySQLQuery) and the
    // pairs detail=master that link their fields, as comma text. A data source that leads
    // back to this dataset raises "Circular Reference".
    TDataSource* GetDataSource() override;
    void SetMasterSource(TDataSource* Value);
    std::string MasterFields() const { return masterFields_.CommaText(); }
    // A new text refreshes an active dataset.
    void SetMasterFields(const std::string& Value);
    // The master moved or one of its linked fields changed: an active dataset runs its
    // statements again (unless the master is being edited). The master closed: refresh.
    void MasterChanged();
    void MasterDisabled();
    // The condition that master values and Filter add to a select: "(d=value) AND ..."
    // per MasterFields pair ("(d=NULL)" while the master has no usable value, which
    // shows no rows), followed by "(Filter)" when Filtered; empty when there is neither.
    std::string GetMasterAndFilter();
    // What $FIELDS selects: "*", or the formatted names of the data fields of a dataset
    // (not a TMySQLTable) whose fields are persistent.
    std::string GetSelectFields();

    // ---- statement templates (dataset_templates.cpp)
    // SQL (run on open), SQLUpdate, SQLInsert, SQLDelete (run when a record is posted
    // or deleted), SQLBatch (ExecBatch) and SQLCached (collected while updates are
    // cached). Changing the text of any but SQLCached rebuilds Macros; changing SQL
    // closes an open dataset. The setters change nothing for a text equal ignoring case.
    TStringList& SQL() { return sql_; }
    void SetSQL(const TStrings& Value);
    TStringList& SQLUpdate() { return sqlUpdate_; }
    void SetSQLUpdate(const TStrings& Value) { AssignTemplate(sqlUpdate_, Value); }
    TStringList& SQLInsert() { return sqlInsert_; }
    void SetSQLInsert(const TStrings& Value) { AssignTemplate(sqlInsert_, Value); }
    TStringList& SQLDelete() { return sqlDelete_; }
    void SetSQLDelete(const TStrings& Value) { AssignTemplate(sqlDelete_, Value); }
    TStringList& SQLBatch() { return sqlBatch_; }
    void SetSQLBatch(const TStrings& Value) { AssignTemplate(sqlBatch_, Value); }
    TStringList& SQLCached() { return sqlCached_; }
    void SetSQLCached(const TStrings& Value) { AssignTemplate(sqlCached_, Value); }
    // The default texts under the delimiters in force, each one line.
    std::string DefaultSelectSQL() const;
    std::string DefaultUpdateSQL() const;
    std::string DefaultInsertSQL() const;
    std::string DefaultDeleteSQL() const;

    // ---- macros and parameters (dataset_templates.cpp)
    // One collection under two names: a name between the delimiters is a macro (pasted
    // as SQL text), ":name" a parameter (pasted as a quoted literal).
    TParams& Macros() { return *macros_; }
    TParams& Params() { return *macros_; }
    int GetMacroCount() const { return macros_->Count(); }
    // Raise the parameter-not-found error for an unknown name.
    TParam* MacroByName(const std::string& Name) const { return macros_->ParamByName(Name); }
    TParam* ParamByName(const std::string& Name) const { return macros_->ParamByName(Name); }
    // Every entry becomes the empty string (none becomes NULL).
    void ClearMacros();
    // Entries of the same name take the values of Value.
    void SetMacros(const TParams& Value) { macros_->AssignValues(Value); }
    // The delimiters as "open,close" (MacroDel; ParamDelimiters on TMySQLQuery). A new
    // pair is written into SQL and the three modification templates.
    std::string GetMacroString() const { return macroOpen_ + "," + macroClose_; }
    void SetMacroString(const std::string& Value);
    const std::string& MacroOpen() const { return macroOpen_; }
    const std::string& MacroClose() const { return macroClose_; }
    // Adds the placeholders of Text to the collection (with doMacrosEnabled).
    void ParseSQL(const std::string& Text);
    // Rebuilds the collection from Filter and the five templates, keeping the values of
    // entries that survive; with doMacroCheck it holds exactly the names found.
    void ParseAllSQL();
    // Finds the placeholders of Text; with Create, adds the missing ones.
    void ParseMacros(const std::string& Text, const std::string& Open, bool Create, const std::string& Close);

    // ---- expansion (dataset_expand.cpp)
    // Text with every placeholder replaced. With MacroPass set and a master or filter
    // condition in force, a second pass puts the condition into a select before its
    // first clause keyword (or at its end). DatabaseOverride replaces DatabaseName in
    // $DATABASENAME; TableRestriction (a table's quoted name) limits the columns of the
    // value and key placeholders to that table.
    std::string SQLPopulate(const std::string& Text, bool MacroPass, bool FilterText,
                            const std::string& DatabaseOverride = std::string(),
                            const std::string& TableRestriction = std::string());
    // The replacement text of one placeholder name.
    std::string GetMacroValue(const std::string& Name, const std::string& DatabaseOverride = std::string(),
                              const std::string& TableRestriction = std::string());
    // SQL literals: "0x" and two upper-case hex digits per byte ("NULL" for no bytes);
    // the driver's escaping (unchanged without a server); the text in single quotes;
    // both; a name formatted by the driver's rules (unchanged without a server).
    static std::string HexStr(std::string_view Bytes);
    std::string EscStr(std::string_view Text) const;
    static std::string QuoteStr(std::string_view Text);
    std::string QEscStr(std::string_view Text) const { return QuoteStr(EscStr(Text)); }
    std::string FormatIdentifier(std::string_view Name) const;
    // The SQL literal of a field's value in Record, or of its current value when Record
    // is null: NULL, a number as it stands, a blob in hex, anything else quoted.
    std::string QEscFieldValue(TField* Field, const TRecInfo* Record);

    // ---- what the last statement left
    const std::string& AffectedRows() const { return affectedRows_; }
    const std::string& QueryInfo() const { return queryInfo_; }
    const std::string& LastInsertID() const { return lastInsertId_; }
    // The statement being run and the last one sent.
    const std::string& CurrentStatement() const { return currentStatement_; }
    const std::string& LastStatement() const { return lastStatement_; }

    // ---- events
    TMySQLEvent OnExecSQL;
    TMySQLMacroEvent OnMacro;
    TMySQLFieldValue OnCustomValue;
    TMySQLFieldValue OnDefaultValue;
    TNotifyEvent OnThreadOpened;
    TNotifyEvent OnThreadPosted;
    TDataSetNotifyEvent OnAfterAdd;

    // ---- searching (dataset_locate.cpp)
    // Searching is done on the client: the records are walked through the navigation and
    // each key field's text (AsString) is compared with the key value's text (empty for
    // Null; element 0 of an array). KeyFields names fields separated by ";" (an unknown
    // name raises the field-not-found error); with several, KeyValues is an array with
    // one value per field. loPartialKey: the field text begins with the key text (an
    // empty key never matches); loCaseInsensitive: both are upper-cased. Controls are
    // disabled while the records are walked and enabled again on every path; a search
    // that fails, or raises, returns to the record it started from.
    //
    // Goes to the first record, then LocateRecord with SyncCursor: a failed Locate leaves
    // the first record current.
    bool Locate(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options) override;
    // The ResultFields' values of the record LocateRecord finds (which stays current), or
    // Null.
    Variant Lookup(const std::string& KeyFields, const Variant& KeyValues, const std::string& ResultFields) override;
    // True when a record matches. The current record is compared first and, matching,
    // stays current; otherwise every record from the first. Without SyncCursor the
    // cursor returns to where it was even when a record matched. An empty dataset: false.
    bool LocateRecord(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                      bool SyncCursor);
    // The directed search: loFirst goes to the first record, then loLast to the last;
    // from there loNext walks forward to the end, loPrior backward to the beginning (with
    // both, forward only), comparing each record; without either nothing is compared and
    // the answer is false. With several key fields, loTextSearch compares each of them
    // with KeyValues itself, otherwise field i with element i; loMatchAll wants every
    // field to match, otherwise one is enough. A partial key matches anywhere in the
    // field text. FoundField is the first field that matched in the found record (null
    // when none was found). Without SyncCursor, or when nothing matched, the cursor
    // returns to where it was.
    bool LocateRecordOption(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                            bool SyncCursor, TMySQLLocateOptions LocateOptions, TField*& FoundField);

    // ---- fetching
    // Fetches one row into the row list; at the end frees the result and runs the
    // catalogue reads.
    void GetNextRow();
    void GetRest();
    // Reads and drops the remaining rows and frees the result.
    void ClearRest();
    // Runs the statements again, keeping the open dataset and its row position.
    void ResyncResult();
    bool AllFetched() const { return allFetched_; }
    // Rows known so far (released rows of rtUnidirectional included).
    int64_t RowCount() const { return rowCount_; }

    // ---- columns
    int FieldInfoCount() const { return static_cast<int>(fieldInfos_.size()); }
    const TFieldInfo& FieldInfo(int Index) const { return fieldInfos_.at(static_cast<size_t>(Index)).info; }
    // The key a column is known by (its field name), after names were made unique.
    const std::string& FieldInfoKey(int Index) const { return fieldInfos_.at(static_cast<size_t>(Index)).key; }
    // The entry whose key is Name (letter case ignored); -1 when none.
    int FindFieldInfo(const std::string& Name) const;
    const std::map<std::string, TTableInfo, TNameLess>& TableInfos() const { return tableInfos_; }
    const std::set<std::string, TNameLess>& Databases() const { return databases_; }
    const std::string& PrimaryKeyList() const { return primaryKeys_; }
    const std::string& UniqueKeyList() const { return uniqueKeys_; }
    const std::string& IndexKeyList() const { return indexKeys_; }
    // Enum/set information for TMySQLStringField: 0 for fields without a column.
    int GetStringType(TField* Field);
    std::string GetStringValues(TField* Field);
    // The stored text of a column in the active record, unchanged; false for NULL (and
    // for an empty blob).
    bool GetRawFieldData(TField* Field, std::string& Value);

    // ---- values (the framework's side)
    bool GetFieldData(TField* Field, void* Buffer) override;
    void SetFieldData(TField* Field, const void* Buffer) override;
    bool GetFieldString(TField* Field, std::string& Value) override;
    void SetFieldString(TField* Field, const std::string* Value) override;
    std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
    void CloseBlob(TField* Field) override;
    bool BookmarkValid(const TBookmark& Bookmark) override;
    int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;

    // ---- writing (dataset_post.cpp)
    // Sends one statement on the dataset's connection; rows it answers are discarded.
    // With Parse the text is expanded first (placeholders, the record's values); with
    // Cached it is added to SQLCached instead of being sent. The empty statement opens
    // the dataset; a text under 3 characters sends nothing. True unless it raises.
    bool ExecSQL(const std::string& Statement, bool Parse = false, bool Cached = false,
                 const std::string& DatabaseOverride = std::string(), const std::string& TableRestriction = std::string());
    // The lines split into statements (one with doSingleSQL), sent in order.
    bool ExecSQLBatch(const TStrings& Lines, bool Parse = false, bool Cached = false,
                      const std::string& DatabaseOverride = std::string(),
                      const std::string& TableRestriction = std::string());
    // A modification template run once, or with doRecursiveUpdates once per table of a
    // joined result that has a changed column (every table with AllTables).
    bool ExecSQLBatchPerColumn(const TStrings& Lines, bool Parse, bool Cached, bool AllTables);
    // Whether a column other than the key columns was changed; MakeChanged marks all.
    bool CheckChanged();
    void MakeChanged();
    // With doTransactions (and a server that knows them): "start transaction;",
    // "commit;" and "rollback;" around every post, insert and delete.
    void StartTransaction();
    void CommitTransaction();
    void RollbackTransaction();
    bool InTransaction() const { return inTransaction_; }
    // Sends the statements collected in SQLCached. After a failure the cache keeps
    // exactly what has not taken effect (a transaction it opened is rolled back and
    // stays whole), so applying again sends nothing twice.
    void ApplyUpdates();
    // Runs SQLBatch (collected too while updates are cached).
    bool ExecBatch();

    // ---- the server's seam
    bool AutoCreatesTable() const override { return options_.Contains(doAutoCreate); }
    std::string TableCreationScript() override;
    void DetachFromServer() override { SetServer(nullptr); }

    // ---- table creation (dataset_create.cpp)
    // The script that creates TableName from FieldDefs and IndexDefs, each line followed
    // by CR LF: "use" of DatabaseName (else the server's), "drop table if exists" with
    // doDropIfExists, "create [temporary] table if not exists" with one line per column
    // name and one per column type, then the key lines. Without FieldDefs the table gets
    // the single auto-increment key ID. Empty (and nothing is sent) without TableName or
    // without a database name. With Execute the script runs on the dataset's connection,
    // statement by statement, so "use" also changes that connection's database; a server
    // error raises and the statements sent before it stay done.
    std::string CreateTable(bool Execute);

protected:
    // ---- the record-buffer protocol
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& Buffer) override;
    virtual void ClearRecordBuffer(TRecordBuffer& Buffer);
    // The buffer field values address in the current state; false when there is none.
    virtual bool GetActiveRecBuf(TRecInfo*& Buffer);
    void InternalInitRecord(TRecordBuffer Buffer) override;
    TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
    int GetRecordSize() override { return recordSize_; }
    void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
    void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
    void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
    void InternalGotoBookmark(const void* Bookmark) override;
    void InternalSetToRecord(TRecordBuffer Buffer) override;
    void InternalFirst() override;
    void InternalLast() override;
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNo(int Value) override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() override { return rowsOpen_; }
    void InternalInitFieldDefs() override;
    void InternalRefresh() override;
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalCancel() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
    bool GetCanModify() override { return !readOnly_; }
    void ClearCalcFields(TRecordBuffer Buffer) override;
    TFieldClass GetFieldClass(TFieldType FieldType) override;
    bool GetIsIndexField(TField* Field) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The filter is a condition the server evaluates: changing it runs the statements
    // again (the text only while Filtered is set).
    void SetFiltered(bool Value) override;
    void SetFilterText(const std::string& Value) override;
    // The change notifications of SQL, SQLUpdate, SQLInsert, SQLDelete and SQLBatch.
    virtual void SQLChanging(TStrings& Sender);
    virtual void SQLChange(TStrings& Sender);

    // Options without the side effects of SetOptions, for constructors and the form reader.
    void SetOptionsValue(TMySQLDatasetOptions Value) { options_ = Value; }

private:
    friend class TMySQLBlobStream;
    struct FieldEntry {
        std::string key;
        TFieldInfo info;
    };

    // ---- opening (dataset_open.cpp)
    void InternalOpenResult();
    void InternalOpenResultBlock();
    // A statement made ready to send: placeholders expanded, master and filter
    // conditions put in.
    std::string PrepareStatement(const std::string& Statement);
    void RunStatement(const std::string& Statement);
    void ReadResultColumns();
    void RecInfoClear();
    void FieldInfoClear();
    void TableInfoClear();
    // The row at a row-list position; null when it was released or does not exist.
    const TRowValues* Row(int64_t Index) const;
    TRowValues* MutableRow(int64_t Index);
    // Raises for a row of rtUnidirectional whose storage is gone.
    [[noreturn]] void RowReleasedError();

    // ---- writing
    bool TransactionsApply();
    // Runs Body (which answers whether its statements ran) between StartTransaction and
    // CommitTransaction; rolls back when it raises or answers false.
    template <class F>
    void RunInTransaction(F&& Body);

    // ---- templates and expansion
    // A template reader for the duration of one scan: one per nesting level (a pass
    // expands the master/filter condition with a pass of its own), configured once for
    // the delimiters in force and restarted on each text.
    class ReaderLease {
    public:
        ReaderLease(TMySQLDatasetBase& Owner, std::string_view Text);
        ~ReaderLease() { --owner_.readerDepth_; }
        ReaderLease(const ReaderLease&) = delete;
        ReaderLease& operator=(const ReaderLease&) = delete;
        TBasicParser& Reader() { return *reader_; }

    private:
        TMySQLDatasetBase& owner_;
        TBasicParser* reader_;
    };
    // Hooks the change notifications, sets the delimiters and adds the default templates.
    void InitTemplates();
    void AssignTemplate(TStringList& List, const TStrings& Value);
    // The master's field Name when the link is active and the master is open, has a
    // record and a value for it; null otherwise.
    TField* MasterValueField(const std::string& Name) const;
    // Value placeholders: the field's literal from Values (or its current value when
    // Values is null or the field has no column).
    std::string FieldLiteral(TField* Field, const TRowValues* Values);
    void AppendFieldLiteral(std::string& Out, TField* Field, const TRowValues* Values);
    std::string MacroLiteral(const TParam& Param);
    std::string NamedValue(const std::string& Name, bool Old, const std::string& TableRestriction, std::string Result);
    // The values the placeholders read: the active record, and the edit copy when one
    // exists.
    const TRowValues* ActiveValues();
    // The field of each column (null for a column without one).
    std::vector<TField*> ColumnFields();
    bool BelongsToTable(const TField* Field, const std::string& TableRestriction) const;
    // "(column=value) AND " naming the row by one field.
    std::string Comparison(TField* Field, const TRowValues* Values);
    std::string KeyCondition(const std::string& Names, const std::string& TableRestriction);
    std::string RowCondition(const std::string& TableRestriction, bool SkipInexact);
    enum class ColumnList { FieldsAndValues, Names, Values };
    std::string ModifiedColumns(bool Modified, ColumnList What, const std::string& TableRestriction);

    // ---- columns (dataset_columns.cpp)
    void AddResultColumn(const TMysql_FieldDef& Def);
    void AddCustomColumns();
    void MakeNamesUnique();
    void RetrieveFieldValues();
    void ConvertSetValues(int Column);
    void RetrieveIndexDefs();
    void AfterLastRow();

    // ---- values (dataset_values.cpp)
    const TFieldInfo* ColumnOf(const TField* Field) const;
    // Stores Text (nullopt for NULL) as column Column's value of Buffer and, while
    // editing, of the fetched row.
    void StoreValue(TRecInfo* Buffer, int Column, std::optional<std::string_view> Text);
    std::string GetBlobData(TField* Field, TRecInfo* Buffer);
    void SetBlobData(TField* Field, TRecInfo* Buffer, const std::string& Value);
    bool IsActiveBuffer(const TRecInfo* Buffer);

    // ---- members
    MySQLConnectionHandle* handle_ = nullptr;
    MySQLResultHandle* result_ = nullptr;
    std::unique_ptr<TMasterDataLink> masterLink_;
    TStringList masterFields_;
    bool inTransaction_ = false;
    bool allFetched_ = true;
    bool readOnly_ = false;
    std::set<std::string, TNameLess> databases_;
    std::map<std::string, TTableInfo, TNameLess> tableInfos_;
    std::vector<FieldEntry> fieldInfos_;
    int resultColumns_ = 0;  // the first entries of fieldInfos_ that are result columns
    std::vector<const char*> scratchValues_;
    std::vector<unsigned long> scratchLengths_;
    // The row list: rows [firstRow_, rowCount_) are held in rows_ (rtUnidirectional keeps
    // only the newest); rowsOpen_ is false while closed.
    std::vector<TRowValues> rows_;
    int64_t firstRow_ = 0;
    int64_t rowCount_ = 0;
    bool rowsOpen_ = false;
    uint32_t runningWidth_ = 0;
    int recordSize_ = 0;
    uint32_t smallMemoLimit_ = 65536;
    TMySQLServer* server_ = nullptr;
    std::string databaseName_;
    std::string tableName_;
    std::string currentStatement_;
    std::string lastStatement_;
    TStringList sql_, sqlUpdate_, sqlInsert_, sqlDelete_, sqlBatch_, sqlCached_;
    std::unique_ptr<TRowValues> editCopy_;
    int64_t currentRow_ = -1;
    std::string macroOpen_, macroClose_;
    std::vector<std::unique_ptr<TBasicParser>> readers_;
    std::string readersOpen_, readersClose_;  // the delimiters the readers were configured for
    size_t readerDepth_ = 0;
    std::unique_ptr<TParams> macros_;
    std::string primaryKeys_, uniqueKeys_, indexKeys_;
    std::string affectedRows_ = "0";
    std::string queryInfo_;
    std::string lastInsertId_ = "0";
    TMySQLResultOptions resultType_ = rtLocal;
    TCursor cursor_ = crSQLWait;
    TMySQLDatasetOptions options_ = kDefaultDatasetOptions;
    std::unique_ptr<TFieldDefs> customFieldDefs_;
    std::unique_ptr<TIndexDefs> indexDefs_;
    std::string fieldName_;
};

// The general dataset: persists the full property set.
class TMySQLDataset : public TMySQLDatasetBase {
public:
    static const TClassInfo& ClassInfo();
    explicit TMySQLDataset(TComponent* AOwner) : TMySQLDatasetBase(AOwner) {}
};

// The query dataset: persists the query-oriented subset (Params, ParamDelimiters,
// DataSource).
class TMySQLQuery : public TMySQLDatasetBase {
public:
    static const TClassInfo& ClassInfo();
    explicit TMySQLQuery(TComponent* AOwner) : TMySQLDatasetBase(AOwner) {}
};

// The table dataset: also reads field values and index definitions by default.
class TMySQLTable : public TMySQLDatasetBase {
public:
    static const TClassInfo& ClassInfo();
    explicit TMySQLTable(TComponent* AOwner) : TMySQLDatasetBase(AOwner) { SetOptionsValue(kDefaultTableOptions); }
};

// Registers the dataset and field classes for form streaming.
void RegisterDatasetClasses();

}  // namespace velmysql
