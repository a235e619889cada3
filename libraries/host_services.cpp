#include "host_services.h"

#include "native_loader.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "environment.h"
#include "errors.h"
#include "executor.h"
#include "installation.h"
#include "interpreter.h"
#include "list_runs.h"
#include "log.h"
#include "message_table.h"
#include "output.h"
#include "run_control.h"
#include "state.h"
#include "structure.h"
#include "text.h"
#include "translate.h"

namespace tavro {

long long ServiceWhole(long double x)
{
    if (!std::isfinite(x)) return 0;
    return std::llrint(static_cast<double>(x));
}

Atom* ServiceAtom(long double x) { return reinterpret_cast<Atom*>(static_cast<intptr_t>(ServiceWhole(x))); }

namespace {

intptr_t result(Atom* atom) { return reinterpret_cast<intptr_t>(atom); }

// The out-variable of the list services: an address, not a small number.
bool validAddress(long double x) { return ServiceWhole(x) >= 4096; }

// Service 7: four rows of four numbers, each converted like any number.
void setModelMatrix(Atom* rows)
{
    float m[16];
    Atom* row = rows;
    for (int r = 0; r < 4; ++r) {
        if (!IsObject(row)) RaiseError("BADNUMBER", {"[]"});
        Atom* cell = LeftOf(row);
        for (int c = 0; c < 4; ++c) {
            if (!IsObject(cell) || (cell->Kind != akList && cell->Kind != akGroup))
                RaiseError("BADNUMBER", {"[]"});
            m[4 * r + c] = static_cast<float>(ToNumber(LeftOf(cell)));
            cell = RightOf(cell);
        }
        row = RightOf(row);
    }
    Env().SetModelMatrix(m);
}

// Service 100: "KEY\x1Farg\x1Farg..." becomes the pending error.
void raiseFromText(std::string_view text)
{
    // Out of memory is raised before anything is allocated for it.
    if (text.substr(0, text.find(TAVRO_ARG_SEPARATOR)) == "OUTOFMEMORY") RaiseOutOfMemory();
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t sep = text.find(TAVRO_ARG_SEPARATOR, start);
        parts.emplace_back(text.substr(start, sep == std::string_view::npos ? sep : sep - start));
        if (sep == std::string_view::npos) break;
        start = sep + 1;
    }
    std::string key = parts.front();
    parts.erase(parts.begin());
    RaiseLanguageError(FormatMessage(ErrorFormat(key), parts));
}

std::string mediaPath(const std::string& file)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(file, ec)) return file;
    std::string alt = InstallFolders().Configuration + "/" + fs::path(file).filename().string();
    return fs::exists(alt, ec) ? alt : file;
}

intptr_t serve(int code, TText* text, long double n1, long double n2, long double n3,
               long double n4)
{
    std::string_view t = text ? View(*text) : std::string_view();
    switch (code) {
    case TAVRO_SVC_MODELMATRIX:
        setModelMatrix(ServiceAtom(n1));
        return 0;
    case TAVRO_SVC_APPEND_OUTPUT:
        OutputAppend(t);
        return 0;
    case TAVRO_SVC_TRANSLATE_TEXT: {
        Position saved = CurrentPosition;
        try {
            CurrentPosition = MakePosition("$SYS$", 0, 0, kUnexecutedDepth);
            Atom* list = TranslateText(t);
            CurrentPosition = saved;
            return result(list);
        } catch (const LanguageError& e) {
            ReportError(e.what());
            CurrentPosition = saved;
            return 0;
        }
    }
    case TAVRO_SVC_PUMP:
        if (!MessagePumpingSuppressed) Env().ProcessMessages();
        return 0;
    case TAVRO_SVC_ERROR_TEXT:
    case TAVRO_SVC_INTERFACE_TEXT: {
        NameValueList& table = code == TAVRO_SVC_ERROR_TEXT ? ErrorMessages() : InterfaceTexts();
        auto v = table.Find(t);
        if (v && !v->empty() && text) SetText(text, *v);
        return 0;
    }
    case TAVRO_SVC_BUTTON:
    case TAVRO_SVC_LISTBOX:
    case TAVRO_SVC_EDIT:
    case TAVRO_SVC_MEMO:
    case TAVRO_SVC_CHECKBOX:
    case TAVRO_SVC_LABEL:
    case TAVRO_SVC_BITMAP_BUTTON:
        return result(Env().CreateWidget(code));
    case TAVRO_SVC_PLAY:
        Env().PlaySound(mediaPath(std::string(t)), ServiceWhole(n1) == 2 ? 2 : 1);
        return 0;
    case TAVRO_SVC_OUTPUT_LINE:
        OutputLine(t);
        return 0;
    case TAVRO_SVC_RESOLVE_PATH:
        if (text) SetText(text, ResolveProgramPath(std::string(t)));
        return 0;
    case TAVRO_SVC_EXE_FOLDER:
        return result(NewWord(ExecutableFolder()));
    case TAVRO_SVC_OPEN_LOG:
        OpenLog(std::string(t), static_cast<uint32_t>(ServiceWhole(n1)));
        return 0;
    case TAVRO_SVC_CLOSE_LOG:
        CloseLog();
        return 0;
    case TAVRO_SVC_LOG_LINE:
        LogLine(static_cast<uint32_t>(ServiceWhole(n1)), t);
        return 0;
    case TAVRO_SVC_SET_LOG_MASK:
        return result(NewNumber(SetLogMask(static_cast<uint32_t>(ServiceWhole(n1)))));
    case TAVRO_SVC_RAISE_ERROR:
        raiseFromText(t);
        return 0;
    case TAVRO_SVC_ASK_TEXT: {
        auto answer = Env().AskText(t);
        if (!answer) return 0;
        if (text) SetText(text, *answer);
        return 1;
    }
    case TAVRO_SVC_SHOW_HELP:
        return Env().ShowHelp(t) ? 1 : 0;
    case TAVRO_SVC_QUIT:
        Env().RequestQuit();
        return 0;
    case TAVRO_SVC_STOP_REQUESTED:
        // Natives that wait (wait, readchar, the loops) ask this often:
        // the plane keeps showing the drawing meanwhile.
        if (!MessagePumpingSuppressed) {
            Env().BuildDeferredDrawings(true);
            Env().ProcessMessages();
        }
        return RunState == rsStopRequested ? 1 : 0;
    case TAVRO_SVC_FIND_NAME: {
        // The wrapping procedure's activation record is the top context;
        // names are meant as its caller sees them.
        TContext* top = State->Contexts;
        if (top && top->Link) State->Contexts = top->Link;
        Atom* node = nullptr;
        try {
            node = Resolve(t);
        } catch (...) {
            State->Contexts = top;
            throw;
        }
        State->Contexts = top;
        return result(node);
    }
    case TAVRO_SVC_COLLECT_KEYS:
        return Env().CollectKeys() ? 1 : 0;
    case TAVRO_SVC_DETACH: {
        Atom* node = ServiceAtom(n1);
        if (IsVariable(node)) Detach(node);
        return 0;
    }
    case TAVRO_SVC_RUN_FOR_CALLER:
        if (!validAddress(n3)) return 0;
        return RunForCaller(ServiceAtom(n1), ServiceWhole(n4) == 1, ServiceAtom(n2),
                            reinterpret_cast<Atom**>(ServiceWhole(n3)))
                   ? 1
                   : 0;
    case TAVRO_SVC_LEAVE_CALLER:
        LeaveCaller(ServiceAtom(n1));
        return 0;
    case TAVRO_SVC_THROW:
        ThrowToCatch(t, ServiceAtom(n1));
        return 0;
    case TAVRO_SVC_CATCH:
        if (!validAddress(n3)) return 0;
        return RunCatching(t, ServiceAtom(n1), reinterpret_cast<Atom**>(ServiceWhole(n3))) ? 1 : 0;
    case TAVRO_SVC_EYE:
    case TAVRO_SVC_LOOKAT:
    case TAVRO_SVC_UPVECTOR:
    case TAVRO_SVC_BACKGROUND:
    case TAVRO_SVC_REDRAW:
    case TAVRO_SVC_REBUILD:
    case TAVRO_SVC_CALL_LIST:
    case TAVRO_SVC_PLANE_MENU:
    case TAVRO_SVC_SAVE_PICTURE:
    case TAVRO_SVC_PICK:
    case TAVRO_SVC_BORDER_LEFT:
    case TAVRO_SVC_BORDER_TOP:
    case TAVRO_SVC_DEFER_DRAWING:
    case TAVRO_SVC_RESUME_DRAWING:
    case TAVRO_SVC_BLOCK_MOUSE:
    case TAVRO_SVC_UNBLOCK_MOUSE:
    case TAVRO_SVC_SHOW_PLANE:
    case TAVRO_SVC_WIDGET_SET:
    case TAVRO_SVC_WIDGET_GET:
    case TAVRO_SVC_SCENE_GET:
        return Env().SceneService(code, text, n1, n2, n3, n4);
    default:
        return 0;
    }
}

}  // namespace

intptr_t HostServiceEntry(int code, TText* text, long double n1, long double n2, long double n3,
                          long double n4)
{
    try {
        return serve(code & 0x7F, text, n1, n2, n3, n4);
    } catch (const LanguageError& e) {
        // Never unwind through the library's C frames: the executor raises
        // the error when the native function returns.
        PendingNativeError = e.what();
        NativeErrorPending = true;
        return 0;
    } catch (const std::exception& e) {
        PendingNativeError = e.what();
        NativeErrorPending = true;
        return 0;
    }
}

void InstallHostServices()
{
    HostService = &HostServiceEntry;
    if (State) State->ServiceCallback = &HostServiceEntry;
    SetNativeResolver(&ResolveNative);
}

}  // namespace tavro
