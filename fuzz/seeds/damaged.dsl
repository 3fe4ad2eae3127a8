	orphan
w
x
	[m3][c red]unclosed [s]pic.jpg
{only}
	body
#INCLUDE "input.dsl"
