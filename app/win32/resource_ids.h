/*
 * Resource and control identifiers of DEKVANTO.EXE: the dialog templates, the icon, the banner and
 * every control that the program or an automation tool (a screen reader, the test driver) finds
 * by number. Read by the resource compiler and by C++ alike, so only #define lines belong here.
 */
#ifndef DEKVANTO_WIN32_RESOURCE_IDS_H
#define DEKVANTO_WIN32_RESOURCE_IDS_H

/* Resources. */
#define IDD_ABOUTBOX 100  /* the About box */
#define IDD_MAIN 102      /* the main window "DEK VANTO" */
#define IDR_MAINFRAME 128 /* the program icon, 32 x 32, 16 colours */
#define IDD_SETTINGS 129  /* the "Settings" dialog */
#define IDB_BANNER 151    /* the banner at the top of the main window, 455 x 73, 256 colours */

/* System menu command of the "About DEK VANTO..." entry (the low four bits are the system's). */
#define IDM_ABOUTBOX 0x0010

/* Main window. */
#define IDC_START_STOP 1       /* "&Start download" / "&Stop download", the default button */
#define IDC_PROPERTIES 1007    /* "&Properties...": opens the Settings dialog */
#define IDC_PROGRESS 1014      /* progress bar, 0 to 100 */
#define IDC_LOG 1015           /* log list */
#define IDC_BYTE_COUNTER 1018  /* "Download : <n> bytes" */
#define IDC_CODE_PATH 1035     /* code file path */
#define IDC_PERSO_PATH 1038    /* personalization file path */
#define IDC_CODE_CHECKSUM 1040 /* code file checksum */
#define IDC_CODE_SIZE 1041     /* code file size */
#define IDC_PERSO_SIZE 1043    /* personalization file size */
#define IDC_PORT 1045          /* "Com Port:" */
#define IDC_BROWSE_CODE 1060   /* "&Browse..." for the code file */
#define IDC_BROWSE_PERSO 1061  /* "&Browse..." for the personalization file */
#define IDC_PRODUCT 1074       /* product box */
#define IDC_PERSO_SWITCH 1079  /* "Download Binary Personalization File" */
#define IDC_CODE_SWITCH 1082   /* "Download Binary Code File" */
#define IDC_BANNER 1096        /* the banner picture */

/* Settings dialog. */
#define IDC_SPEED 1020           /* speed list */
#define IDC_WAIT_STATES 1021     /* wait state list */
#define IDC_BUS_SIZE 1022        /* bus size list */
#define IDC_LOADER_SIZE 1036     /* loader file size */
#define IDC_LOADER_PATH 1037     /* loader file path */
#define IDC_PARITY 1044          /* parity list */
#define IDC_STOP_BITS 1046       /* stop bit list */
#define IDC_DATA_BITS 1047       /* data bit list */
#define IDC_MEMORY_GROUP 1066    /* group "Memory Target Properties" */
#define IDC_PORT_BOX 1080        /* port box: the system's ports, or a typed name */
#define IDC_SETTINGS_OK 1090     /* "OK", the default button */
#define IDC_SETTINGS_CANCEL 1091 /* "Cancel" */
#define IDC_BROWSE_LOADER 1093   /* "B&rowse..." for the loader file */
#define IDC_ACKNOWLEDGE 1097     /* "Acknowledge" */
#define IDC_PAUSE 1098           /* "Pause" */

/* About box. */
#define IDC_ABOUT_VERSION 1073 /* the version text */
#define IDC_ABOUT_OK 1088      /* "OK", the default button */

/* Controls without a number of their own in the layout (labels, group boxes) still get one, so
 * that automation finds every control: 1200 and up in the main window, 1300 and up in the
 * Settings dialog, 1400 and up in the About box. */
#define IDC_CODE_GROUP 1200
#define IDC_CODE_NAME_LABEL 1201
#define IDC_CODE_SIZE_LABEL 1202
#define IDC_CODE_CHECKSUM_LABEL 1203
#define IDC_PERSO_GROUP 1204
#define IDC_PERSO_NAME_LABEL 1205
#define IDC_PERSO_SIZE_LABEL 1206
#define IDC_PRODUCT_GROUP 1207
#define IDC_LINE_GROUP 1208
#define IDC_PORT_LABEL 1209

#define IDC_PORT_GROUP 1300
#define IDC_SPEED_LABEL 1301
#define IDC_PARITY_LABEL 1302
#define IDC_STOP_BITS_LABEL 1303
#define IDC_LINE_PROPERTIES_GROUP 1304
#define IDC_DATA_BITS_LABEL 1305
#define IDC_WAIT_STATES_LABEL 1306
#define IDC_BUS_SIZE_LABEL 1307
#define IDC_LOADER_GROUP 1308
#define IDC_LOADER_NAME_LABEL 1309
#define IDC_LOADER_SIZE_LABEL 1310
#define IDC_OTHER_GROUP 1311

#define IDC_ABOUT_ICON 1400
#define IDC_ABOUT_VERSION_LABEL 1401
#define IDC_ABOUT_NOTICE 1402

#endif
