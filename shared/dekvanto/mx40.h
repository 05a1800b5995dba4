/*
 * Dll_Mx40 download engine: the plain C interface shared by the engine library and every program
 * that loads it (the DEKVANTO application, the command-line front end, tests).
 *
 * Compiles as C (C99 and later) and as C++. Nothing but plain records and small integers crosses
 * this boundary: no class, no allocation, no exception.
 *
 * One download, as a caller sees it:
 *   Mxl40_Init(0);
 *   if (both a code file and a personalization file are sent)
 *       go on only when CheckMapCompat(code, perso) == MX40_MAP_COMPATIBLE;
 *   result = Mxl40_Download(window, &settings, &files, &options);   // one long synchronous call
 * While the download runs, the engine sends the window byte counts, log lines and progress steps
 * (the MX40_WM_* messages below) and lets the caller's own events run, so that a stop command can
 * call Mxl40_StartStop(0). The call ends with one result character (MX40_RESULT_*).
 */
#ifndef DEKVANTO_MX40_H
#define DEKVANTO_MX40_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Export macro and calling convention.
 * On Windows the functions use __cdecl (the caller removes the arguments) and are exported from
 * DLL_MX40.DLL; a program that includes this header imports them. MX40_BUILDING_ENGINE is defined
 * only while the engine library itself is compiled. Elsewhere the four functions and the trace
 * hook Mxl40_SetTrace (below) are the only symbols of the library with default visibility.
 * ------------------------------------------------------------------------------------------- */
#if defined(_WIN32)
#define MX40_CALL __cdecl
#if defined(MX40_BUILDING_ENGINE)
#define MX40_API __declspec(dllexport)
#else
#define MX40_API __declspec(dllimport)
#endif
#else
#define MX40_CALL
#define MX40_API __attribute__((visibility("default")))
#endif

/* File name of the engine library, the one name every loader of it uses. */
#if defined(_WIN32)
#define MX40_LIBRARY_FILE_NAME "DLL_MX40.DLL"
#elif defined(__APPLE__)
#define MX40_LIBRARY_FILE_NAME "libDLL_MX40.dylib"
#else
#define MX40_LIBRARY_FILE_NAME "libDLL_MX40.so"
#endif

/* ---------------------------------------------------------------------------------------------
 * The window handle.
 * On Windows it is the HWND of the caller's window; the engine sends it messages with
 * SendMessageA, dispatches the thread's queue with PeekMessageA/TranslateMessage/DispatchMessageA
 * and shows message boxes with MessageBoxA.
 * Elsewhere it is a pointer to an Mx40Window record that the caller fills; null means no window.
 * ------------------------------------------------------------------------------------------- */
#if defined(_WIN32)
typedef struct HWND__ *Mx40WindowHandle;
#else
typedef struct Mx40Window {
    /* Passed back unchanged to the three functions below. */
    void *context;
    /* Delivers one message to the window, like SendMessageA: the window has handled it before
     * send returns. Messages are the MX40_WM_* numbers below. May be null (nothing delivered). */
    intptr_t (*send)(void *context, uint32_t message, uintptr_t wparam, intptr_t lparam);
    /* Dispatches every event waiting on the caller's thread once. Returns 1 when a quit request
     * was taken from the queue (it is consumed, not put back), else 0. May be null. */
    int32_t (*pump)(void *context);
    /* Shows a modal box with an OK button and returns when the user has closed it. May be null:
     * the text then goes to standard error. */
    void (*message_box)(void *context, const char *text);
} Mx40Window;
typedef Mx40Window *Mx40WindowHandle;
#endif

/* ---------------------------------------------------------------------------------------------
 * Window messages from the engine (WM_USER = 0x400). All are delivered synchronously.
 * ------------------------------------------------------------------------------------------- */
#define MX40_WM_USER 0x0400u
/* wparam: file bytes sent so far, all files together (unsigned 32-bit); lparam 0. */
#define MX40_WM_BYTE_COUNT (MX40_WM_USER + 0x10u)
/* wparam: address of a zero-terminated text owned by the engine, valid only while the message
 * is handled (copy it); lparam 0. */
#define MX40_WM_LOG_LINE (MX40_WM_USER + 0x20u)
/* One hundredth of the download's data has been sent: advance the progress bar by one step. */
#define MX40_WM_PROGRESS_STEP (MX40_WM_USER + 0x30u)

/* ---------------------------------------------------------------------------------------------
 * Records passed by address to Mxl40_Download. Field order and sizes are part of the interface.
 * ------------------------------------------------------------------------------------------- */
typedef struct Mx40Settings {
    /* Port number minus one. The engine adds one to this field in place at the start of every
     * download and uses the result as the port number (COM<n>). */
    int32_t Port;
    /* Index of the phone memory's wait states: 0..3 (0, 1, 2 or 3 wait states). */
    int32_t RamWaitState;
    /* Index of the phone memory's bus size: 0 = 8 bits, 1 = 16 bits. */
    int32_t RamSize;
    /* Download speed index: 0 = 57600, 1 = 115200, 2 = 230400, 3 = 460800 bit/s. */
    int32_t Speed;
    /* Parity the phone switches to: 0 = none, 1 = odd, 2 = even. */
    int32_t Parity;
    /* Stop bits the phone switches to: 0 = one, 1 = two. */
    int32_t StopBit;
    /* Seconds to wait for the phone's resident boot loader DEKE to restart before the
     * personalization file; used only when Acknowledge and Pause are both 0. */
    int32_t RebootDelay;
} Mx40Settings;

typedef struct Mx40Files {
    /* Loader program sent into the phone's RAM; always required. */
    const char *LoadFilePath;
    /* Code file (.bin), or null when no code file is sent. */
    const char *AppFilePath;
    /* Personalization file (.psb), or null when none is sent. */
    const char *PersoFilePath;
} Mx40Files;

typedef struct Mx40Options {
    /* Not read by the engine. */
    int32_t Reserved;
    /* 1 = step mode: the user confirms the code file and the personalization file in a box. */
    int32_t Pause;
    /* 1 = acknowledged protocol; any other value = blind mode (nothing is read from the phone,
     * fixed pauses replace the waits). */
    int32_t Acknowledge;
    /* 1 = line errors, synchronisation failures and the second step-mode prompt are shown in
     * message boxes. */
    int32_t DebugMessages;
} Mx40Options;

/* ---------------------------------------------------------------------------------------------
 * Result characters of Mxl40_Download (returned as the character's numeric value).
 * ------------------------------------------------------------------------------------------- */
#define MX40_RESULT_DONE '2'            /* every requested file was sent (and acknowledged)   */
#define MX40_RESULT_STOPPED '3'         /* running flag found clear at a block or phase       */
#define MX40_RESULT_STOPPED_WAITING '4' /* a short pause ended by a stop or a quit request    */
#define MX40_RESULT_BAD_PARITY '5'      /* parity index not supported                         */
#define MX40_RESULT_BAD_SPEED '6'       /* speed index not supported, or speed switch refused */
#define MX40_RESULT_BAD_WAIT_STATES '7' /* wait-state index not supported                     */
#define MX40_RESULT_BAD_BUS_SIZE '8'    /* bus-size index not supported                       */
#define MX40_RESULT_PORT_ERROR                                                              \
    '9'                               /* the port could not be opened or configured, or the \
                                         line failed while writing                          */
#define MX40_RESULT_CODE_OPEN ':'     /* the code file cannot be opened                     */
#define MX40_RESULT_LOADER_OPEN ';'   /* the loader file cannot be opened                   */
#define MX40_RESULT_FILE_MEMORY '<'   /* no memory for the code or personalization file     */
#define MX40_RESULT_LOADER_MEMORY '=' /* no memory for the loader file                      */
#define MX40_RESULT_BAD_STOP_BITS '>' /* stop-bit index not supported                       */
#define MX40_RESULT_FILE_READ '?'     /* code or personalization file not read whole        */
#define MX40_RESULT_LOADER_READ '@'   /* loader file not read whole                         */
#define MX40_RESULT_NO_SETTINGS 'A'   /* settings record pointer is null                    */
#define MX40_RESULT_NO_FILES 'B'      /* file record pointer is null                        */
#define MX40_RESULT_PERSO_OPEN 'D'    /* the personalization file cannot be opened          */
#define MX40_RESULT_NO_SYNC 'E'       /* the phone's synchronisation character '8' missed   */
#define MX40_RESULT_BAD_ACK 'G'       /* a frame answered with a byte other than 0x06       */
#define MX40_RESULT_NO_ACK 'H'        /* a frame answered with nothing                      */

/* ---------------------------------------------------------------------------------------------
 * Results of CheckMapCompat.
 * ------------------------------------------------------------------------------------------- */
#define MX40_MAP_COMPATIBLE 10    /* the files agree on their memory mapping                    */
#define MX40_MAP_MISMATCH 11      /* identifiers differ, or the table lacks the perso's entry   */
#define MX40_MAP_NO_CODE_FILE 12  /* the code file cannot be opened                             */
#define MX40_MAP_NO_PERSO_FILE 13 /* the personalization file cannot be opened                  */
#define MX40_MAP_NO_PATH 14       /* a path is null                                              */
#define MX40_MAP_NOT_FOUND 15     /* no tag block, or no usable mapping table offset            */

/* ---------------------------------------------------------------------------------------------
 * Exported functions.
 * ------------------------------------------------------------------------------------------- */

/* Stores value as the initialisation value (nothing depends on it) and returns it. */
MX40_API int32_t MX40_CALL Mxl40_Init(int32_t value);

/* 1 sets the running flag, 0 clears it (a running download then stops at its next test of the
 * flag and returns '3' or '4'); any other value changes nothing. Returns value. The flag is a
 * lock-free atomic: the call may come from another thread or from a signal handler. */
MX40_API int32_t MX40_CALL Mxl40_StartStop(int32_t value);

/* Runs one whole download: opens port COM<settings->Port + 1>, uploads the loader, sends the code
 * file and the personalization file, closes the port, and returns a result character above.
 * window may be null. settings and files must not be null ('A', 'B'); options must not be null
 * either (a null options record is refused with 'B'). The records must stay valid for the whole
 * call; the engine writes only settings->Port.
 * One download at a time per process: a call made while another runs (from another thread, or
 * from a handler that runs inside the first one's event dispatch) adds one to settings->Port as
 * every call does, then returns '9' at once without opening any port, showing or sending
 * anything, or touching the running download's flags. */
MX40_API int32_t MX40_CALL Mxl40_Download(Mx40WindowHandle window, Mx40Settings *settings,
                                          const Mx40Files *files, const Mx40Options *options);

/* Tells whether a code file and a personalization file agree on their memory mapping; returns
 * one of the MX40_MAP_* codes. Reads the two files only; touches no engine state. */
MX40_API int32_t MX40_CALL CheckMapCompat(const char *code_path, const char *perso_path);

/* ---------------------------------------------------------------------------------------------
 * Byte trace: a fifth export for diagnostic tools (the command-line tool's --trace). It is not
 * part of the download interface: a program that never calls it sees the four functions above
 * behave exactly as described, and the application does not use it.
 *
 * Mxl40_SetTrace(fn, context) installs fn for every following download of this process (null
 * removes it) and returns 0. While installed, fn is called on the download's thread, before the
 * engine goes on, for every chunk of bytes written to the line (direction MX40_TRACE_SENT, the
 * bytes the driver took) and for every byte read from it (MX40_TRACE_RECEIVED, one byte), with the
 * phase of the download the bytes belong to. The bytes are valid only during the call. Call it
 * only while no download runs.
 * ------------------------------------------------------------------------------------------- */
#define MX40_TRACE_SENT 0
#define MX40_TRACE_RECEIVED 1

#define MX40_PHASE_LINE_SETUP 1 /* memory target byte, line setup frame and its answer (2400) */
#define MX40_PHASE_LOADER 2     /* loader blocks, end frame, answers, the loader's '8'         */
#define MX40_PHASE_REQUEST 3    /* the download request byte                                   */
#define MX40_PHASE_CODE 4       /* code file size frame, blocks, checksum frame, answers       */
#define MX40_PHASE_ERASE 5      /* the two '8' of the flash writing and erasing                */
#define MX40_PHASE_RESTART 6    /* the '8' of the phone's restart into DEKE                    */
#define MX40_PHASE_PERSO 7      /* personalization size frame, blocks, answers, the last '8'   */

typedef void(MX40_CALL *Mx40TraceFn)(void *context, int32_t direction, int32_t phase,
                                     const uint8_t *bytes, uint32_t count);

MX40_API int32_t MX40_CALL Mxl40_SetTrace(Mx40TraceFn fn, void *context);

/* Function pointer types for programs that look the functions up by name at run time. */
typedef int32_t(MX40_CALL *Mxl40_Init_Fn)(int32_t);
typedef int32_t(MX40_CALL *Mxl40_StartStop_Fn)(int32_t);
typedef int32_t(MX40_CALL *Mxl40_Download_Fn)(Mx40WindowHandle, Mx40Settings *, const Mx40Files *,
                                              const Mx40Options *);
typedef int32_t(MX40_CALL *CheckMapCompat_Fn)(const char *, const char *);
typedef int32_t(MX40_CALL *Mxl40_SetTrace_Fn)(Mx40TraceFn, void *);

#ifdef __cplusplus
}
#endif

#endif /* DEKVANTO_MX40_H */
