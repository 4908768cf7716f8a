// Asks Windows whether a file's Authenticode signature is good: WinVerifyTrust with the generic verify
// action, as the shell and the consent prompt ask it; a reader of signatures independent of osslsigncode.
//
// Usage: pxtrust [--root CERTIFICATE.DER] FILE...
//
// --root adds the certificate to the machine's trusted roots (Root of CERT_SYSTEM_STORE_LOCAL_MACHINE) for
// the run, and takes it away again at its end, so that the prefix is left as it was. One line a file:
// "FILE<TAB>0x%08X", WinVerifyTrust's result: 0 verified, 0x800B0100 TRUST_E_NOSIGNATURE, 0x80096010
// TRUST_E_BAD_DIGEST (the file changed after it was signed), 0x800B0109 CERT_E_UNTRUSTEDROOT.
//
// Exit code: 0 when every file verified, 1 when one did not, 2 when the arguments are wrong or the root
// cannot be added or taken away.
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HCERTSTORE OpenMachineRoots(void)
{
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
}

// The certificate as the store holds it, or NULL. The store stays open until the root is taken away:
// a registry store writes what changed when it is closed.
static PCCERT_CONTEXT AddRoot(HCERTSTORE store, const char *path)
{
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return NULL;
    static BYTE certificate[16384];
    size_t size = fread(certificate, 1, sizeof certificate, file);
    fclose(file);
    PCCERT_CONTEXT added = NULL;
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, certificate, (DWORD)size,
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added))
        added = NULL;
    return added;
}

// The file's own signature only (no catalog), no revocation check: the throwaway authority has no list.
static LONG VerifyFile(const char *path)
{
    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) == 0)
        return (LONG)GetLastError();
    WINTRUST_FILE_INFO fileInfo;
    memset(&fileInfo, 0, sizeof fileInfo);
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = widePath;
    WINTRUST_DATA data;
    memset(&data, 0, sizeof data);
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG result = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    return result;
}

int main(int argc, char **argv)
{
    int first = 1;
    PCCERT_CONTEXT root = NULL;
    HCERTSTORE store = NULL;
    if (argc >= 3 && strcmp(argv[1], "--root") == 0) {
        store = OpenMachineRoots();
        root = store != NULL ? AddRoot(store, argv[2]) : NULL;
        if (root == NULL) {
            fprintf(stderr, "pxtrust: cannot add %s to the trusted roots (error %lu)\n", argv[2],
                    (unsigned long)GetLastError());
            return 2;
        }
        first = 3;
    }
    if (first >= argc) {
        fputs("usage: pxtrust [--root CERTIFICATE.DER] FILE...\n", stderr);
        return 2;
    }
    int refused = 0;
    for (int i = first; i < argc; ++i) {
        LONG result = VerifyFile(argv[i]);
        printf("%s\t0x%08lX\n", argv[i], (unsigned long)result);
        refused |= result != 0;
    }
    // The context still names its store, so the deletion takes it from the machine's roots.
    if (root != NULL && (!CertDeleteCertificateFromStore(root) || !CertCloseStore(store, 0))) {
        fprintf(stderr, "pxtrust: cannot take the root away again (error %lu)\n", (unsigned long)GetLastError());
        return 2;
    }
    return refused;
}
