// Whether the run holds an administrator's rights, asked before it shows or changes anything.
#ifndef RUN_ADMINISTRATOR_H
#define RUN_ADMINISTRATOR_H

// 1 when the process's token counts the Administrators group among its enabled groups, 0 when it
// does not or the system cannot say. For the NT line only: the consumer line has no tokens.
int RunsAsAdministrator(void);

#endif
