Name:	zindle
State:	R (running)
