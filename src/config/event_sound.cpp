// implementation follows
