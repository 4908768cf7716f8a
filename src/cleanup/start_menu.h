// Removal of the program group "Plexitone" and its five shortcuts from the user's start menu.
#ifndef CLEANUP_START_MENU_H
#define CLEANUP_START_MENU_H

// 1 when the group folder's path could be formed, whatever the deletions did; 0 otherwise.
int RemoveStartMenuGroup(void);

// Writes the current user's Programs folder into path (a MAX_PATH buffer); nonzero on success.
int GetProgramsFolder(char* path);

// Deletes folder\name, unless the joined path would not fit in MAX_PATH.
void DeleteFileIn(const char* folder, const char* name);

#endif
