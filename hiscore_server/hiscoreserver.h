// The ten C functions of the local hiscore server library ("qzservlet_stub.dll"), looked up by
// name by whoever loads it. A handle comes from HiscoreServer_CreateLocalServer and belongs to the
// library; text arguments belong to the caller for the duration of the call and may be null (read
// as empty). The reply text stays valid until the next request on the same handle. A handle is
// used by one thread at a time.
#pragma once

#define HISCORE_SERVER_EXPORT __attribute__((visibility("default")))

extern "C" {

HISCORE_SERVER_EXPORT void* HiscoreServer_CreateLocalServer();
HISCORE_SERVER_EXPORT void HiscoreServer_FreeLocalServer(void* server);
HISCORE_SERVER_EXPORT void HiscoreServer_LoadServerDefFile(void* server);
// The game passes its medal names too; the server does not read them.
HISCORE_SERVER_EXPORT void HiscoreServer_SetServerInfo(void* server, const char* gameHandle,
                                                       const char* key, const char** modeNames,
                                                       int modeCount, const char** medalNames,
                                                       int medalCount);
HISCORE_SERVER_EXPORT void HiscoreServer_RequestCategoryInformation(void* server);
HISCORE_SERVER_EXPORT void HiscoreServer_RequestScores(void* server, const char* gameHandle,
                                                       const char* mode, const char* table,
                                                       const char* playerName);
HISCORE_SERVER_EXPORT void HiscoreServer_SubmitScore(void* server, const char* gameHandle,
                                                     const char* mode, const char* user,
                                                     const char* password, const char* uid,
                                                     const char* version, const char* gameData,
                                                     int score, const char* key);
HISCORE_SERVER_EXPORT void HiscoreServer_SubmitMedals(void* server, const char* gameHandle,
                                                      const char* mode, const char* user,
                                                      const char* password, const char* medals,
                                                      const char* key);
HISCORE_SERVER_EXPORT int HiscoreServer_GetStatus(void* server);
HISCORE_SERVER_EXPORT const char* HiscoreServer_GetContents(void* server);

} // extern "C"
